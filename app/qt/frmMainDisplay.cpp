#include "frmMain.h"

#include <algorithm>

#include <QFontDatabase>
#include <QLayout>
#include <QPalette>
#include <QShowEvent>

#include "QtText.h"
#include "mduCommonMessage.h"
#include "mduDisplayText.h"
#include "ui_frmMain.h"

// The window's display operations: the message area, the information list,
// the status lamps, the progress bar and its labels, the diagnostic frame,
// and the window's size.

namespace {

QColor ToQColor(const mduDisplayText::Rgb& rgb) {
    return QColor(rgb.r, rgb.g, rgb.b);
}

}  // namespace

// --- Display operations ------------------------------------------------------------

void frmMain::PutMessageText(const std::string& text, bool keepFirstPart,
                             const std::string& separator) {
    messageText_ = mduDisplayText::ComposeMessageText(messageText_, text, keepFirstPart, separator);
    if (unseen_ && !isVisible()) {
        messageStale_ = true;
    } else {
        ui_->txtMessage->setPlainText(platform::ToDisplayLines(messageText_));
        messageStale_ = false;
    }
    if (observer_ != nullptr) {
        observer_->OnMessage(messageText_, messageKind_);
    }
}

void frmMain::SetMessageColour(const QColor& colour, IRunObserver::MessageKind kind) {
    messageKind_ = kind;
    QPalette palette = ui_->txtMessage->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Text, colour);
    }
    ui_->txtMessage->setPalette(palette);
}

QColor frmMain::MessageColour() const {
    return ui_->txtMessage->palette().color(QPalette::Text);
}

void frmMain::ShowInfoMessage(const std::string& text) {
    SetMessageColour(windowTextColour_, IRunObserver::MessageKind::Information);
    PutMessageText(text, false, "\r\n");
}

void frmMain::ShowSuccessMessage(const std::string& text) {
    SetMessageColour(ToQColor(mduDisplayText::SuccessColour), IRunObserver::MessageKind::Success);
    PutMessageText(text, false, "\r\n");
}

void frmMain::ShowErrorMessage(const std::string& text) {
    SetMessageColour(ToQColor(mduDisplayText::ErrorColour), IRunObserver::MessageKind::Error);
    PutMessageText(text, false, "\r\n");
}

void frmMain::SetInfoLine(std::int16_t index, const std::string& value) {
    QListWidgetItem* line = ui_->lsbxDownloadInformation->item(index);
    if (line == nullptr) {
        return;
    }
    const std::string text =
        mduDisplayText::ComposeInfoLine(platform::ToStdString(line->text()), value);
    line->setText(platform::ToQString(text));
    if (observer_ != nullptr) {
        observer_->OnInfoLine(index, text, value);
    }
}

void frmMain::ClearUnitLines() {
    using namespace mduCommonMessage;
    for (int line : {InfoLineSerialNumber, InfoLineProgramVersion, InfoLineUnitDataVersion,
                     InfoLineRecordReport}) {
        SetInfoLine(static_cast<std::int16_t>(line), "");
    }
}

std::string frmMain::InfoLine(int index) const {
    const QListWidgetItem* line = ui_->lsbxDownloadInformation->item(index);
    return line == nullptr ? std::string() : platform::ToStdString(line->text());
}

QFrame* frmMain::Lamp(int index) const {
    if (index < 0 || index >= mduDisplayText::LampCount) {
        return nullptr;
    }
    return ui_->frmDebugArea->findChild<QFrame*>(QStringLiteral("shpDnLdSetSts_%1").arg(index));
}

void frmMain::SetStatusLamp(std::int32_t index, std::int32_t colourCode) {
    if (index < 0 || index >= mduDisplayText::LampCount) {
        return;
    }
    // A block stage sets its lamp once per block: only a change is looked
    // up and drawn.
    int& shown = lampCodes_[static_cast<std::size_t>(index)];
    if (shown == colourCode) {
        return;
    }
    QFrame* lamp = Lamp(index);
    const std::optional<mduDisplayText::Rgb> colour = mduDisplayText::LampColour(colourCode);
    if (lamp == nullptr || !colour) {
        return;
    }
    shown = colourCode;
    const QColor fill = ToQColor(*colour);
    QPalette palette = lamp->palette();
    palette.setColor(QPalette::Window, fill);
    lamp->setPalette(palette);
    if (observer_ != nullptr) {
        observer_->OnLamp(index, colourCode);
    }
}

void frmMain::SetStatusLamps(std::int32_t index, std::int32_t colourCode) {
    if (index != -1) {
        SetStatusLamp(index, colourCode);
        return;
    }
    for (int lamp = 0; lamp < mduDisplayText::LampCount; ++lamp) {
        SetStatusLamp(lamp, colourCode);
    }
}

QColor frmMain::LampColour(int index) const {
    const QFrame* lamp = Lamp(index);
    return lamp == nullptr ? QColor() : lamp->palette().color(QPalette::Window);
}

std::string frmMain::FileNameText() const {
    return platform::ToStdString(ui_->txtFileName->text());
}

void frmMain::SetProgressMax(std::int32_t max) {
    if (ui_->progbDownloadProgress->maximum() == max) {
        return;
    }
    ui_->progbDownloadProgress->setRange(0, max < 0 ? 0 : max);
    if (observer_ != nullptr) {
        observer_->OnProgress(ProgressValue(), ProgressMax());
    }
}

std::int32_t frmMain::ProgressMax() const {
    return ui_->progbDownloadProgress->maximum();
}

void frmMain::SetProgressValue(std::int32_t value) {
    if (ui_->progbDownloadProgress->value() == value) {
        return;
    }
    ui_->progbDownloadProgress->setValue(value);
    if (observer_ != nullptr) {
        observer_->OnProgress(ProgressValue(), ProgressMax());
    }
}

std::int32_t frmMain::ProgressValue() const {
    return ui_->progbDownloadProgress->value();
}

void frmMain::SetPercentText(const std::string& text) {
    const QString shown = platform::ToQString(text);
    if (ui_->lblDownLoadPercent->text() == shown) {
        return;
    }
    ui_->lblDownLoadPercent->setText(shown);
    if (observer_ != nullptr) {
        observer_->OnPercent(text);
    }
}

std::string frmMain::PercentText() const {
    return platform::ToStdString(ui_->lblDownLoadPercent->text());
}

void frmMain::SetClockText(const std::string& text) {
    const QString shown = platform::ToQString(text);
    if (ui_->lblDownLoadClock->text() == shown) {
        return;
    }
    ui_->lblDownLoadClock->setText(shown);
    if (observer_ != nullptr) {
        observer_->OnClock(text);
    }
}

std::string frmMain::ClockText() const {
    return platform::ToStdString(ui_->lblDownLoadClock->text());
}

platform::MsgResult frmMain::ShowMessageBox(const std::string& text, platform::MsgButtons buttons,
                                            platform::MsgIcon icon) {
    return boxes_.Show(text, buttons, icon);
}

std::string frmMain::HostImageText() const {
    return hostImage_;
}

void frmMain::SetHostImageText(const std::string& text) {
    hostImage_ = text;
    // The diagnostic frame is hidden in normal use: laying out a new text per
    // block there would cost the transfer time for nothing. It is brought up
    // to date when the frame is shown.
    if (ui_->frmDebugArea->isHidden()) {
        hostImageStale_ = true;
        return;
    }
    ui_->txtHostImage->setText(platform::ToQString(text));
    hostImageStale_ = false;
}

// --- Size ----------------------------------------------------------------------

void frmMain::FitDisplays() {
    // The labels of the information list line up in a font whose CJK
    // characters are two columns wide.
    const QString mono = QStringLiteral("Noto Sans Mono CJK TC");
    if (QFontDatabase::families().contains(mono)) {
        QFont font(mono);
        font.setPointSizeF(ui_->lsbxDownloadInformation->font().pointSizeF());
        ui_->lsbxDownloadInformation->setFont(font);
    }
    QListWidget* list = ui_->lsbxDownloadInformation;
    const int frame = 2 * list->frameWidth();
    list->setFixedHeight(mduCommonMessage::InfoLineCount * list->sizeHintForRow(0) + frame + 4);
    // The percentage keeps one width from "0.0%" to "100.0%": the widest
    // text's, as the label lays it out.
    QLabel* percent = ui_->lblDownLoadPercent;
    const QString shown = percent->text();
    percent->setText(platform::ToQString(mduDisplayText::PercentText(1, 1)));
    percent->setMinimumWidth(percent->sizeHint().width());
    percent->setText(shown);
    // Room for the longest failure text (eight lines) without scrolling.
    QPlainTextEdit* message = ui_->txtMessage;
    const int lines = 8;
    message->setFixedHeight(lines * message->fontMetrics().lineSpacing() +
                            2 * message->frameWidth() +
                            2 * static_cast<int>(message->document()->documentMargin()) + 4);
}

int frmMain::RuleHeight() const {
    const int extra = (kWindowExtraTwips * logicalDpiY() + 720) / 1440;
    int frames = ui_->frmWorkingArea->sizeHint().height() + ui_->frmFileArea->sizeHint().height() +
                 ui_->frmCommArea->sizeHint().height();
    if (!ui_->frmDebugArea->isHidden()) {
        // Shown for diagnosis, the debug frame and its gap are added on top.
        frames += ui_->frmDebugArea->sizeHint().height() + layout()->spacing();
    }
    return frames + extra;
}

void frmMain::ApplyWindowHeight() {
    // The window keeps the size it is designed for: its displays are laid
    // out for that size, and the height rule alone changes it.
    setFixedSize(std::max(width(), minimumSizeHint().width()), RuleHeight());
}

void frmMain::SetDebugAreaVisible(bool visible) {
    ui_->frmDebugArea->setVisible(visible);
    if (visible && hostImageStale_) {
        SetHostImageText(hostImage_);
    }
    ApplyWindowHeight();
}

// --- Shown or not -----------------------------------------------------------------

void frmMain::SetUnseen(bool unseen) {
    unseen_ = unseen;
}

void frmMain::showEvent(QShowEvent* event) {
    if (messageStale_) {
        ui_->txtMessage->setPlainText(platform::ToDisplayLines(messageText_));
        messageStale_ = false;
    }
    QWidget::showEvent(event);
}
