#include "StreamMessageBoxes.h"

platform::MsgResult StreamMessageBoxes::Show(const std::string& text, platform::MsgButtons buttons,
                                             platform::MsgIcon) {
    out_ << "apdtool: message box: " << text << '\n';
    switch (buttons) {
        case platform::MsgButtons::OkCancel:
            return platform::MsgResult::Cancel;
        case platform::MsgButtons::YesNo:
            return platform::MsgResult::No;
        case platform::MsgButtons::Ok:
            break;
    }
    return platform::MsgResult::Ok;
}
