#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "IMessageBoxes.h"
#include "RunFacts.h"

// Everything the operator sees of a run, and the frames behind it, as it
// happens: for the automation runner's report and for the support trace.
// Every callback has an empty default, so an observer takes what it needs.
class IRunObserver {
  public:
    enum class MessageKind { Information, Success, Error };

    virtual ~IRunObserver() = default;

    virtual void OnStateChange(std::int32_t /*from*/, std::int32_t /*to*/) {}
    // The message area's whole new text and its colour.
    virtual void OnMessage(const std::string& /*text*/, MessageKind /*kind*/) {}
    // An information line's whole new text (label and value) and the value
    // alone.
    virtual void OnInfoLine(int /*line*/, const std::string& /*text*/,
                            const std::string& /*value*/) {}
    // A lamp that changed colour.
    virtual void OnLamp(int /*index*/, int /*colourCode*/) {}
    virtual void OnProgress(std::int32_t /*value*/, std::int32_t /*max*/) {}
    virtual void OnPercent(const std::string& /*text*/) {}
    virtual void OnClock(const std::string& /*text*/) {}
    // A message box and the answer it got.
    virtual void OnBox(const std::string& /*text*/, platform::MsgButtons /*buttons*/,
                       platform::MsgIcon /*icon*/, platform::MsgResult /*answer*/) {}
    // A frame handed to the serial driver, with its command code (-1: a text
    // sentence, or an empty frame that only listens).
    virtual void OnFrameOut(std::span<const std::uint8_t> /*frame*/, std::int32_t /*code*/) {}
    // The end of a send/reply cycle: a reply (event 1), the frame has left
    // with no reply awaited (0), or the time-out (2) with what arrived.
    virtual void OnFrameIn(std::int32_t /*commEvent*/, std::span<const std::uint8_t> /*bytes*/) {}
    // A run's facts: at its start (kind, port, data file), each time the run
    // learns a fact of the unit or the file or erases the unit (not for every
    // block), and at its end, after the call that ended it has returned (its
    // last box closed).
    virtual void OnRunStarted(const RunFacts& /*run*/) {}
    virtual void OnFactsLearned(const RunFacts& /*run*/) {}
    virtual void OnRunEnded(const RunFacts& /*run*/) {}
};
