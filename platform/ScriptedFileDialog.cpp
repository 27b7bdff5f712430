#include "ScriptedFileDialog.h"

namespace platform {

std::optional<std::string> ScriptedFileDialog::ShowOpen(const FileDialogRequest& request) {
    return Answer(Kind::Open, request);
}

std::optional<std::string> ScriptedFileDialog::ShowSave(const FileDialogRequest& request) {
    return Answer(Kind::Save, request);
}

std::optional<std::string> ScriptedFileDialog::Answer(Kind kind, const FileDialogRequest& request) {
    requests_.push_back(Request{kind, request});
    if (script_.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> answer = std::move(script_.front());
    script_.pop_front();
    return answer;
}

}  // namespace platform
