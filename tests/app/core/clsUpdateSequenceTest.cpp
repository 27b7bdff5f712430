#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "IWorkPageWindow.h"
#include "clsUpdateSequence.h"

namespace {

// Records what the sequence asks of the window.
class RecordingWindow final : public IWorkPageWindow {
  public:
    std::int32_t state = 0;
    std::vector<std::string> calls;

    std::int32_t WorkState() const override { return state; }
    void ChangeWorkState(std::int32_t s) override {
        calls.push_back("ChangeWorkState " + std::to_string(s));
    }
    void StartAutoRunning() override { calls.push_back("StartAutoRunning"); }
    void SetWorkingBusy(bool busy) override { calls.push_back(busy ? "Busy" : "NotBusy"); }
    bool BrowseDataFile(bool open) override {
        calls.push_back(open ? "BrowseOpen" : "BrowseSave");
        return true;
    }
    void PutMessageText(const std::string& t, bool, const std::string&) override {
        calls.push_back("Put " + t);
    }
    void ShowInfoMessage(const std::string& t) override { calls.push_back("Info " + t); }
    void ShowSuccessMessage(const std::string& t) override { calls.push_back("Success " + t); }
    void ShowErrorMessage(const std::string& t) override { calls.push_back("Error " + t); }
    void SetInfoLine(std::int16_t i, const std::string& v) override {
        calls.push_back("Line " + std::to_string(i) + " " + v);
    }
    void ClearUnitLines() override { calls.push_back("ClearUnitLines"); }
    void SetStatusLamps(std::int32_t i, std::int32_t c) override {
        calls.push_back("Lamps " + std::to_string(i) + " " + std::to_string(c));
    }
};

}  // namespace

TEST(clsUpdateSequence, EveryCallRefreshesTheStepRecordWhateverTheState) {
    RecordingWindow window;
    clsUpdateSequence sequence(window);
    WorkPageRecord& page = sequence.WorkPage();
    const std::vector<std::uint8_t> reply = {'$', 'A', 0x00, 0xFF};

    for (std::int32_t state : {0, 5, 17, 21, 22, -1, 1000}) {
        SCOPED_TRACE("state " + std::to_string(state));
        window.state = state;
        page.SendData = {1, 2, 3};
        page.FailState = 9;
        page.Reply = {7};
        page.NextState = 3;
        sequence.WorkPageStateMachine(3, reply);
        EXPECT_EQ(page.Received, reply);
        EXPECT_TRUE(page.SendData.empty());
        EXPECT_EQ(page.Event, 3);
        EXPECT_EQ(page.State, state);
        EXPECT_EQ(page.FailState, 0);
        // What the stages own stays.
        EXPECT_EQ(page.Reply, std::vector<std::uint8_t>{7});
        EXPECT_EQ(page.NextState, 3);

        sequence.WorkPageStateMachine(5);
        EXPECT_TRUE(page.Received.empty());
        EXPECT_EQ(page.Event, 5);
    }
    EXPECT_FALSE(clsUpdateSequence::HasState(-1));
    EXPECT_FALSE(clsUpdateSequence::HasState(22));
    EXPECT_TRUE(clsUpdateSequence::HasState(0));
}

TEST(clsUpdateSequence, IdleEnablesTheControlsOnItsEntryAndBrowsesOnRequest) {
    RecordingWindow window;
    clsUpdateSequence sequence(window);

    sequence.WorkPageStateMachine(1);
    sequence.WorkPageStateMachine(8);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"NotBusy", "BrowseOpen"}));

    // Codes that are no event, and the same events in a state without a
    // handler, reach nothing.
    window.calls.clear();
    for (std::int32_t code : {0, 10, -1, 1000}) {
        sequence.WorkPageStateMachine(code);
    }
    window.state = 18;
    sequence.WorkPageStateMachine(1);
    sequence.WorkPageStateMachine(8);
    EXPECT_TRUE(window.calls.empty());
}
