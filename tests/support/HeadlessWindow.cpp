#include "HeadlessWindow.h"

#include <algorithm>

#include "ProgramMessageBoxes.h"
#include "WorkPageEvent.h"
#include "clsComm.h"
#include "clsCommandLayer.h"
#include "clsRandom.h"
#include "clsUnitConfig2.h"
#include "clsUnitConfigBase.h"
#include "mduCommonMessage.h"
#include "mduDisplayText.h"

namespace {
constexpr int kAutoRunningMs = 20;
constexpr int kOneSecondMs = 1000;
}  // namespace

HeadlessWindow::HeadlessWindow(platform::VirtualClock& clock, platform::ISerialControl& serial,
                               platform::IMessageBoxes& boxes, std::uint64_t seed)
    : clock_(clock),
      serial_(serial),
      boxes_(boxes),
      autoRunning_(clock.CreateTimer()),
      oneSec_(clock.CreateTimer()),
      waitTimeOut_(clock.CreateTimer()),
      frameSpace_(clock.CreateTimer()),
      unitConfigBase_(std::make_unique<clsUnitConfigBase>()),
      unitConfig2_(std::make_unique<clsUnitConfig2>()),
      comm_(std::make_unique<clsComm>()),
      random_(std::make_unique<clsRandom>(seed)),
      commands_(std::make_unique<clsCommandLayer>(*comm_, *random_, *unitConfig2_, *unitConfigBase_,
                                                  static_cast<IHostImageDisplay*>(this))),
      sequence_(*this) {
    for (int i = 0; i < mduCommonMessage::InfoLineCount; ++i) {
        infoLines_[static_cast<std::size_t>(i)] = mduCommonMessage::InfoLineLabels[i];
    }
    autoRunning_->SetInterval(kAutoRunningMs);
    oneSec_->SetInterval(kOneSecondMs);
    waitTimeOut_->SetInterval(1000);
    frameSpace_->SetInterval(30);
    autoRunning_->SetOnTimer([this] {
        if (!autoRunningArmed_) {
            return;
        }
        autoRunning_->SetEnabled(false);
        sequence_.WorkPageStateMachine(kEventAutoRunning);
    });
    oneSec_->SetOnTimer([this] { sequence_.WorkPageStateMachine(kEventOneSecond); });
}

HeadlessWindow::~HeadlessWindow() {
    Release();
}

void HeadlessWindow::Start(std::int16_t port) {
    comm_->SetmFrameSpaceTimer(frameSpace_.get());
    comm_->SetmFrameTimeOutTimer(waitTimeOut_.get());
    comm_->SetmMsComm(&serial_);
    comm_->SetCommResponseMessage(
        [this](std::int32_t vCommEvent, const std::vector<std::uint8_t>& vMessage) {
            switch (vCommEvent) {
                case 1:
                    sequence_.WorkPageStateMachine(kEventReplyReceived, vMessage);
                    break;
                case 0:
                    sequence_.WorkPageStateMachine(kEventSentNoReply, vMessage);
                    break;
                case 2:
                    sequence_.WorkPageStateMachine(kEventReplyTimeOut, vMessage);
                    break;
                default:
                    break;
            }
        });
    comm_->SetComPort(port);
    portIndex_ = port - 1;
    ChangeWorkState(0);
}

void HeadlessWindow::Release() {
    if (released_) {
        return;
    }
    released_ = true;
    for (auto* timer : {autoRunning_.get(), oneSec_.get(), waitTimeOut_.get(), frameSpace_.get()}) {
        timer->SetEnabled(false);
    }
    try {
        if (serial_.PortOpen()) {
            serial_.SetPortOpen(false);
        }
    } catch (const std::exception&) {
    }
    commands_.reset();
    comm_.reset();
    autoRunning_->SetOnTimer(nullptr);
    oneSec_->SetOnTimer(nullptr);
}

void HeadlessWindow::ChangeWorkState(std::int32_t newState) {
    workState_ = newState;
    states_.push_back(newState);
    StartAutoRunning();
}

void HeadlessWindow::StartAutoRunning() {
    if (released_) {
        return;
    }
    autoRunning_->SetEnabled(false);
    autoRunning_->SetEnabled(true);
    autoRunning_->SetInterval(autoRunning_->Interval());
    autoRunningArmed_ = true;
}

bool HeadlessWindow::BrowseDataFile(bool /*openMode*/) {
    return false;
}

void HeadlessWindow::SelectCommPort(std::uint8_t index) {
    portIndex_ = index;
    if (comm_) {
        comm_->SetComPort(static_cast<std::int16_t>(index + 1));
    }
}

void HeadlessWindow::SetOneSecTimerEnabled(bool enabled) {
    if (enabled && released_) {
        return;
    }
    oneSec_->SetEnabled(enabled);
}

void HeadlessWindow::PutMessageText(const std::string& text, bool keepFirstPart,
                                    const std::string& separator) {
    message_.text =
        mduDisplayText::ComposeMessageText(message_.text, text, keepFirstPart, separator);
    messages_.push_back(message_);
}

void HeadlessWindow::ShowInfoMessage(const std::string& text) {
    SetKind(0);
    PutMessageText(text, false, "\r\n");
}

void HeadlessWindow::ShowSuccessMessage(const std::string& text) {
    SetKind(1);
    PutMessageText(text, false, "\r\n");
}

void HeadlessWindow::ShowErrorMessage(const std::string& text) {
    SetKind(2);
    PutMessageText(text, false, "\r\n");
}

bool HeadlessWindow::Showed(const std::string& text) const {
    return std::any_of(messages_.begin(), messages_.end(),
                       [&text](const Message& m) { return m.text == text; });
}

void HeadlessWindow::SetInfoLine(std::int16_t index, const std::string& value) {
    if (index < 0 || index >= static_cast<std::int16_t>(infoLines_.size())) {
        return;
    }
    std::string& line = infoLines_[static_cast<std::size_t>(index)];
    line = mduDisplayText::ComposeInfoLine(line, value);
}

void HeadlessWindow::ClearUnitLines() {
    for (int line : {2, 3, 1, 4}) {
        SetInfoLine(static_cast<std::int16_t>(line), "");
    }
}

void HeadlessWindow::SetStatusLamps(std::int32_t index, std::int32_t colourCode) {
    if (!mduDisplayText::LampColour(colourCode)) {
        return;
    }
    if (index == -1) {
        lamps_.fill(colourCode);
    } else if (index >= 0 && index < static_cast<std::int32_t>(lamps_.size())) {
        lamps_[static_cast<std::size_t>(index)] = colourCode;
    }
}

platform::MsgResult HeadlessWindow::ShowMessageBox(const std::string& text,
                                                   platform::MsgButtons buttons,
                                                   platform::MsgIcon icon) {
    return boxes_.Show(text, buttons, icon);
}
