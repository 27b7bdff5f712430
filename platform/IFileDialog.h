#pragma once

#include <optional>
#include <string>

namespace platform {

// What the window asks of the common file dialog.
struct FileDialogRequest {
    // Pairs of description and pattern separated by "|", e.g.
    // "All Files (*.*)|*.*|GPS 資料檔 (*.apd)|*.apd".
    std::string filter;
    // 1-based index of the pair selected when the dialog opens.
    int filterIndex = 1;
    // Pre-set file name (may be empty).
    std::string fileName;
    // 4 = hide the read-only box, 2 = ask before overwriting.
    int flags = 0;
    // The folder the dialog opens in (empty: the dialog's own choice). A
    // relative pre-set file name is selected in it.
    std::string folder;
};

class IFileDialog {
  public:
    virtual ~IFileDialog() = default;
    // The chosen path, or nothing when the operator cancelled.
    virtual std::optional<std::string> ShowOpen(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> ShowSave(const FileDialogRequest& request) = 0;
};

}  // namespace platform
