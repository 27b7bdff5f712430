#include "QtMessageBoxes.h"

#include <QGuiApplication>
#include <QMessageBox>

#include "QtText.h"

namespace platform {
namespace {

QMessageBox::Icon ToQtIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Critical:
            return QMessageBox::Critical;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QtMessageBoxes::QtMessageBoxes(QString title) : title_(std::move(title)) {}

QString QtMessageBoxes::Caption() const {
    return title_.isEmpty() ? QGuiApplication::applicationDisplayName() : title_;
}

QString QtMessageBoxes::ToDisplayText(const std::string& text) {
    return ToDisplayLines(text);
}

MsgResult QtMessageBoxes::Show(const std::string& text, MsgButtons buttons, MsgIcon icon) {
    QMessageBox::StandardButtons qtButtons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
    MsgResult dismissed = MsgResult::Ok;
    switch (buttons) {
        case MsgButtons::OkCancel:
            // A question asks before something that cannot be undone
            // (overwriting a unit that is already current, leaving during an
            // update): Enter must not say OK or Yes.
            qtButtons = QMessageBox::Ok | QMessageBox::Cancel;
            defaultButton = QMessageBox::Cancel;
            dismissed = MsgResult::Cancel;
            break;
        case MsgButtons::YesNo:
            qtButtons = QMessageBox::Yes | QMessageBox::No;
            defaultButton = QMessageBox::No;
            dismissed = MsgResult::No;
            break;
        case MsgButtons::Ok:
            break;
    }

    QMessageBox box(ToQtIcon(icon), Caption(), ToDisplayText(text), qtButtons, parent_.data());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    box.setWindowModality(Qt::ApplicationModal);
    open_.emplace_back(&box);
    const int answer = box.exec();
    std::erase_if(open_, [&box](const QPointer<QMessageBox>& open) {
        return open.isNull() || open.data() == &box;
    });
    switch (answer) {
        case QMessageBox::Ok:
            return MsgResult::Ok;
        case QMessageBox::Cancel:
            return MsgResult::Cancel;
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        default:
            break;
    }
    return dismissed;
}

void QtMessageBoxes::DismissOpen() {
    // Copy: rejecting a box ends its exec, which edits the list.
    const std::vector<QPointer<QMessageBox>> open = open_;
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        if (!it->isNull()) {
            (*it)->reject();
        }
    }
}

}  // namespace platform
