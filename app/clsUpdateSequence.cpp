#include "clsUpdateSequence.h"

#include "WorkPageEvent.h"

// One handler per state number; a state without a handler ignores every
// event. The later states of the run are added here as they are built.
const std::array<clsUpdateSequence::StateHandler, clsUpdateSequence::kStateCount>
    clsUpdateSequence::kStateHandlers = {&clsUpdateSequence::IdleState};

clsUpdateSequence::clsUpdateSequence(IWorkPageWindow& window) : window_(window) {}

bool clsUpdateSequence::HasState(std::int32_t state) {
    return state >= 0 && state < kStateCount && kStateHandlers[state] != nullptr;
}

void clsUpdateSequence::WorkPageStateMachine(std::int32_t venvWorkingEvent,
                                             std::span<const std::uint8_t> vByteArry) {
    // Refresh the step record for this call.
    m_WorkPage.Received.assign(vByteArry.begin(), vByteArry.end());
    m_WorkPage.SendData.clear();
    m_WorkPage.Event = venvWorkingEvent;
    m_WorkPage.State = window_.WorkState();
    m_WorkPage.FailState = 0;

    if (!HasState(m_WorkPage.State)) {
        return;
    }
    (this->*kStateHandlers[m_WorkPage.State])();
}

void clsUpdateSequence::IdleState() {
    switch (m_WorkPage.Event) {
        case kEventAutoRunning:
            // Entry of idle: every run ends here, so the controls come back.
            window_.SetWorkingBusy(false);
            break;
        case kEventBrowse:
            window_.BrowseDataFile(true);
            break;
        default:
            break;
    }
}
