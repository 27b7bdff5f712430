#include "AutoMessageBoxes.h"

platform::MsgResult AutoMessageBoxes::Show(const std::string& /*text*/,
                                           platform::MsgButtons buttons,
                                           platform::MsgIcon /*icon*/) {
    if (holdMs_ > 0 && hold_ && !dismissed_) {
        hold_(holdMs_);
    }
    switch (buttons) {
        case platform::MsgButtons::OkCancel:
            return confirm_ && !dismissed_ ? platform::MsgResult::Ok : platform::MsgResult::Cancel;
        case platform::MsgButtons::YesNo:
            return confirm_ && !dismissed_ ? platform::MsgResult::Yes : platform::MsgResult::No;
        case platform::MsgButtons::Ok:
            break;
    }
    return platform::MsgResult::Ok;
}

void AutoMessageBoxes::DismissOpen() {
    // As a real box closed by the program: answered by its close button.
    dismissed_ = true;
    if (release_) {
        release_();
    }
}
