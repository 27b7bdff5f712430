#include "HeadlessWindow.h"

#include <algorithm>

#include "clsComm.h"
#include "mduCommonMessage.h"
#include "mduDisplayText.h"

HeadlessWindow::HeadlessWindow(platform::VirtualClock& clock, platform::ISerialControl& serial,
                               platform::IMessageBoxes& boxes, std::uint64_t seed)
    : clock_(clock), boxes_(boxes), objects_(*this, clock, serial) {
    for (int i = 0; i < mduCommonMessage::InfoLineCount; ++i) {
        infoLines_[static_cast<std::size_t>(i)] = mduCommonMessage::InfoLineLabels[i];
    }
    objects_.Initialise();
    objects_.Load(*this, seed);
}

void HeadlessWindow::Start(std::int16_t port) {
    objects_.ConnectDriver();
    objects_.ClsComm()->SetComPort(port);
    portIndex_ = port - 1;
    ChangeWorkState(0);
}

void HeadlessWindow::ChangeWorkState(std::int32_t newState) {
    workState_ = newState;
    states_.push_back(newState);
    StartAutoRunning();
}

bool HeadlessWindow::BrowseDataFile(bool /*openMode*/) {
    return false;
}

void HeadlessWindow::SelectCommPort(std::uint8_t index) {
    portIndex_ = index;
    if (clsComm* comm = objects_.ClsComm()) {
        comm->SetComPort(static_cast<std::int16_t>(index + 1));
    }
}

void HeadlessWindow::PutMessageText(const std::string& text, bool keepFirstPart,
                                    const std::string& separator) {
    message_.text =
        mduDisplayText::ComposeMessageText(message_.text, text, keepFirstPart, separator);
    messages_.push_back(message_);
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
