#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "IWorkPageWindow.h"
#include "WorkPageRecord.h"

// The update sequence: one event-driven state machine for the port scan, the
// connection test and the whole update. Every call handles one event in the
// current state (the window's WorkState) and returns; it never waits. The
// window turns its timer ticks, button clicks and serial driver events into
// calls of WorkPageStateMachine.
class clsUpdateSequence {
  public:
    static constexpr std::int32_t kStateCount = 22;  // states 0 to 21

    explicit clsUpdateSequence(IWorkPageWindow& window);

    // Handles one event. vByteArry: the bytes that came with it (a reply),
    // empty when none.
    void WorkPageStateMachine(std::int32_t venvWorkingEvent,
                              std::span<const std::uint8_t> vByteArry = {});

    WorkPageRecord& WorkPage() { return m_WorkPage; }
    const WorkPageRecord& WorkPage() const { return m_WorkPage; }

    // Whether a state number has a handler.
    static bool HasState(std::int32_t state);

  private:
    using StateHandler = void (clsUpdateSequence::*)();

    // State 0: idle.
    void IdleState();

    static const std::array<StateHandler, kStateCount> kStateHandlers;

    IWorkPageWindow& window_;
    WorkPageRecord m_WorkPage;
};
