#pragma once

#include <vector>

#include <QPointer>
#include <QString>

#include "IMessageBoxes.h"

class QMessageBox;
class QWidget;

namespace platform {

// Modal message boxes on QMessageBox. The caption is the application title
// (the application's display name) unless one is given; the text is shown as
// plain text, lines separated by "\r\n" in the operator texts, spaces kept.
class QtMessageBoxes final : public IMessageBoxes {
  public:
    explicit QtMessageBoxes(QString title = {});

    MsgResult Show(const std::string& text, MsgButtons buttons, MsgIcon icon) override;
    // Rejects every box still open (innermost first); each returns the
    // answer of its close button.
    void DismissOpen() override;

    // The window the boxes are centred on; they are application modal either way.
    void SetParentWindow(QWidget* parent) { parent_ = parent; }

    // "\r\n" (and a lone "\r") become the one line break Qt draws.
    static QString ToDisplayText(const std::string& text);
    QString Caption() const;

  private:
    QString title_;
    QPointer<QWidget> parent_;
    std::vector<QPointer<QMessageBox>> open_;
};

}  // namespace platform
