#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "IHostImageDisplay.h"
#include "IMessageBoxes.h"
#include "ISerialControl.h"
#include "IWorkPageWindow.h"
#include "VirtualClock.h"
#include "WorkObjects.h"
#include "clsComm.h"
#include "mduCommonMessage.h"
#include "mduDisplayText.h"

// The window as the update sequence sees it, without widgets: the same
// objects and timers as the real window (built by the same WorkObjects) and
// the same display rules, on the virtual clock, with every display kept as
// plain values (and a history of the message area) for tests, the soak and
// the fuzz targets.
class HeadlessWindow final : public IWorkPageWindow, private IHostImageDisplay {
  public:
    struct Message {
        std::string text;
        int kind;  // 0 information, 1 success, 2 error
    };

    // The serial control and the boxes must outlive the window. seed: the
    // random source's (the link tables and head codes of the run).
    HeadlessWindow(platform::VirtualClock& clock, platform::ISerialControl& serial,
                   platform::IMessageBoxes& boxes, std::uint64_t seed = 1)
        : clock_(clock), boxes_(boxes), objects_(*this, clock, serial) {
        for (int i = 0; i < mduCommonMessage::InfoLineCount; ++i) {
            infoLines_[static_cast<std::size_t>(i)] = mduCommonMessage::InfoLineLabels[i];
        }
        objects_.Initialise();
        objects_.Load(*this, seed);
    }
    // Releases the objects as closing the window does.
    ~HeadlessWindow() override { objects_.Release(); }
    HeadlessWindow(const HeadlessWindow&) = delete;
    HeadlessWindow& operator=(const HeadlessWindow&) = delete;

    // Start-up: the driver gets its timers and control, the port its number,
    // and the idle state is entered (it runs 20 ms later).
    void Start(std::int16_t port = 1) {
        objects_.ConnectDriver();
        objects_.ClsComm()->SetComPort(port);
        portIndex_ = port - 1;
        ChangeWorkState(0);
    }
    // What the buttons do.
    void Press(std::int32_t event) { objects_.Sequence().WorkPageStateMachine(event); }

    clsUpdateSequence& Sequence() { return objects_.Sequence(); }
    WorkPageRecord& WorkPage() { return objects_.Sequence().WorkPage(); }

    // --- IWorkPageWindow ---
    std::int32_t WorkState() const override { return workState_; }
    void ChangeWorkState(std::int32_t newState) override {
        workState_ = newState;
        states_.push_back(newState);
        StartAutoRunning();
    }
    void StartAutoRunning() override { objects_.ArmAutoRunning(); }
    void SetWorkingBusy(bool busy) override { workingBusy_ = busy; }
    bool BrowseDataFile(bool /*openMode*/) override { return false; }
    std::string FileNameText() const override { return fileName_; }
    void SelectCommPort(std::uint8_t index) override {
        portIndex_ = index;
        if (clsComm* comm = objects_.ClsComm()) {
            comm->SetComPort(static_cast<std::int16_t>(index + 1));
        }
    }
    void SetOneSecTimerEnabled(bool enabled) override { objects_.EnableOneSecTimer(enabled); }
    std::int64_t NowSeconds() const override { return clock_.NowSeconds(); }
    clsCommandLayer* Commands() override { return objects_.CommandLayer(); }
    void PutMessageText(const std::string& text, bool keepFirstPart,
                        const std::string& separator) override {
        message_.text =
            mduDisplayText::ComposeMessageText(message_.text, text, keepFirstPart, separator);
        messages_.push_back(message_);
    }
    void ShowInfoMessage(const std::string& text) override { ShowMessage(0, text); }
    void ShowSuccessMessage(const std::string& text) override { ShowMessage(1, text); }
    void ShowErrorMessage(const std::string& text) override { ShowMessage(2, text); }
    void SetInfoLine(std::int16_t index, const std::string& value) override {
        if (index >= 0 && index < static_cast<std::int16_t>(infoLines_.size())) {
            std::string& line = infoLines_[static_cast<std::size_t>(index)];
            line = mduDisplayText::ComposeInfoLine(line, value);
        }
    }
    void ClearUnitLines() override {
        for (int line : {2, 3, 1, 4}) {
            SetInfoLine(static_cast<std::int16_t>(line), "");
        }
    }
    void SetStatusLamps(std::int32_t index, std::int32_t colourCode) override {
        if (!mduDisplayText::LampColour(colourCode)) {
            return;
        }
        if (index == -1) {
            lamps_.fill(colourCode);
        } else if (index >= 0 && index < static_cast<std::int32_t>(lamps_.size())) {
            lamps_[static_cast<std::size_t>(index)] = colourCode;
        }
    }
    void SetProgressMax(std::int32_t max) override { progressMax_ = max < 0 ? 0 : max; }
    std::int32_t ProgressMax() const override { return progressMax_; }
    void SetProgressValue(std::int32_t value) override { progressValue_ = value; }
    void SetPercentText(const std::string& text) override { percent_ = text; }
    std::string PercentText() const override { return percent_; }
    void SetClockText(const std::string& text) override { clockText_ = text; }
    platform::MsgResult ShowMessageBox(const std::string& text, platform::MsgButtons buttons,
                                       platform::MsgIcon icon) override {
        return boxes_.Show(text, buttons, icon);
    }

    // --- What the displays show ---
    void SetFileName(std::string name) { fileName_ = std::move(name); }
    bool WorkingBusy() const { return workingBusy_; }
    const std::string& MessageText() const { return message_.text; }
    int MessageKind() const { return message_.kind; }
    // Every text the message area showed, in order.
    const std::vector<Message>& Messages() const { return messages_; }
    bool Showed(const std::string& text) const {
        return std::any_of(messages_.begin(), messages_.end(),
                           [&text](const Message& m) { return m.text == text; });
    }
    std::string InfoLine(int index) const { return infoLines_.at(index); }
    int Lamp(int index) const { return lamps_.at(index); }
    std::int32_t ProgressValue() const { return progressValue_; }
    int SelectedPort() const { return portIndex_ + 1; }
    // Every state entered, in order.
    const std::vector<std::int32_t>& States() const { return states_; }
    bool OneSecTimerRunning() const { return objects_.OneSecTimer().Enabled(); }
    std::string HostImageText() const override { return hostImage_; }

  private:
    void SetHostImageText(const std::string& text) override { hostImage_ = text; }
    void ShowMessage(int kind, const std::string& text) {
        message_.kind = kind;
        PutMessageText(text, false, "\r\n");
    }

    platform::VirtualClock& clock_;
    platform::IMessageBoxes& boxes_;
    WorkObjects objects_;

    std::int32_t workState_ = 0;
    bool workingBusy_ = false;
    std::string fileName_;
    int portIndex_ = 0;
    Message message_{"", 0};
    std::vector<Message> messages_;
    std::array<std::string, 5> infoLines_;
    std::array<int, 20> lamps_{};
    std::int32_t progressMax_ = 100;
    std::int32_t progressValue_ = 0;
    std::string percent_ = "0.0%";
    std::string clockText_ = "00:00";
    std::string hostImage_;
    std::vector<std::int32_t> states_;
};
