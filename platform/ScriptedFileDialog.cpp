#include "ScriptedFileDialog.h"

namespace platform {

std::optional<std::string> ScriptedFileDialog::ShowOpen(const FileDialogRequest& request) {
    return Answer(Kind::Open, request);
}

std::optional<std::string> ScriptedFileDialog::ShowSave(const FileDialogRequest& request) {
    return Answer(Kind::Save, request);
}

std::optional<std::string> ScriptedFileDialog::Answer(Kind kind, const FileDialogRequest& request) {
    std::optional<std::string> answer = default_;
    if (!script_.empty()) {
        answer = std::move(script_.front());
        script_.pop_front();
    }
    requests_.push_back(Request{kind, request});
    if (whileOpen_) {
        // Copy: the hook may open the dialog again and grow the record.
        const Request current = requests_.back();
        whileOpen_(current);
    }
    return answer;
}

}  // namespace platform
