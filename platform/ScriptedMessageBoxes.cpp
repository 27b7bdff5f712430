#include "ScriptedMessageBoxes.h"

namespace platform {

MsgResult ScriptedMessageBoxes::Show(const std::string& text, MsgButtons buttons, MsgIcon icon) {
    MsgResult answer = buttons == MsgButtons::OkCancel ? MsgResult::Cancel
                       : buttons == MsgButtons::YesNo  ? MsgResult::No
                                                       : MsgResult::Ok;
    if (!script_.empty()) {
        answer = script_.front();
        script_.pop_front();
    }
    shown_.push_back(Shown{text, buttons, icon, answer});
    if (whileOpen_) {
        // Copy: the hook may show further boxes and grow the record.
        const Shown current = shown_.back();
        whileOpen_(current);
    }
    return answer;
}

std::vector<std::string> ScriptedMessageBoxes::Texts() const {
    std::vector<std::string> texts;
    texts.reserve(shown_.size());
    for (const Shown& box : shown_) {
        texts.push_back(box.text);
    }
    return texts;
}

}  // namespace platform
