#pragma once

#include <QPointer>
#include <QStringList>

#include "IFileDialog.h"

class QWidget;

namespace platform {

// The common file dialog on QFileDialog. The request's filter
// ("desc|pattern|desc|pattern", patterns separated by ";") becomes Qt's name
// filters, its 1-based index the selected filter, its folder the folder shown
// first, its file name the pre-set selection, flag 2 the overwrite prompt of
// the save dialog.
class QtFileDialog final : public IFileDialog {
  public:
    std::optional<std::string> ShowOpen(const FileDialogRequest& request) override;
    std::optional<std::string> ShowSave(const FileDialogRequest& request) override;

    void SetParentWindow(QWidget* parent) { parent_ = parent; }

    // "All Files (*.*)|*.*|GPS 資料檔 (*.apd)|*.apd" gives
    // "All Files (*)" and "GPS 資料檔 (*.apd)": a description that already
    // ends in its own pattern list is not repeated, and "*.*" means every
    // file, as it does on the system the filters were written for. A pair
    // without a pattern lists every file; an empty filter gives no filters.
    static QStringList ToNameFilters(const std::string& filter);

  private:
    std::optional<std::string> Show(const FileDialogRequest& request, bool save);

    QPointer<QWidget> parent_;
};

}  // namespace platform
