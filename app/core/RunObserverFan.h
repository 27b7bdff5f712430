#pragma once

#include <vector>

#include "IRunObserver.h"

// Hands every observation on to several observers, in the order added.
class RunObserverFan final : public IRunObserver {
  public:
    void Add(IRunObserver* observer) { observers_.push_back(observer); }

    void OnStateChange(std::int32_t from, std::int32_t to) override {
        for (IRunObserver* o : observers_)
            o->OnStateChange(from, to);
    }
    void OnMessage(const std::string& text, MessageKind kind) override {
        for (IRunObserver* o : observers_)
            o->OnMessage(text, kind);
    }
    void OnInfoLine(int line, const std::string& text, const std::string& value) override {
        for (IRunObserver* o : observers_)
            o->OnInfoLine(line, text, value);
    }
    void OnLamp(int index, int colourCode) override {
        for (IRunObserver* o : observers_)
            o->OnLamp(index, colourCode);
    }
    void OnProgress(std::int32_t value, std::int32_t max) override {
        for (IRunObserver* o : observers_)
            o->OnProgress(value, max);
    }
    void OnPercent(const std::string& text) override {
        for (IRunObserver* o : observers_)
            o->OnPercent(text);
    }
    void OnClock(const std::string& text) override {
        for (IRunObserver* o : observers_)
            o->OnClock(text);
    }
    void OnBox(const std::string& text, platform::MsgButtons buttons, platform::MsgIcon icon,
               platform::MsgResult answer) override {
        for (IRunObserver* o : observers_)
            o->OnBox(text, buttons, icon, answer);
    }
    void OnFrameOut(std::span<const std::uint8_t> frame, std::int32_t code) override {
        for (IRunObserver* o : observers_)
            o->OnFrameOut(frame, code);
    }
    void OnFrameIn(std::int32_t commEvent, std::span<const std::uint8_t> bytes) override {
        for (IRunObserver* o : observers_)
            o->OnFrameIn(commEvent, bytes);
    }
    void OnRunStarted(const RunFacts& run) override {
        for (IRunObserver* o : observers_)
            o->OnRunStarted(run);
    }
    void OnFactsLearned(const RunFacts& run) override {
        for (IRunObserver* o : observers_)
            o->OnFactsLearned(run);
    }
    void OnRunEnded(const RunFacts& run) override {
        for (IRunObserver* o : observers_)
            o->OnRunEnded(run);
    }

  private:
    std::vector<IRunObserver*> observers_;
};
