#include "AutoMessageBoxes.h"

platform::MsgResult AutoMessageBoxes::Show(const std::string& /*text*/,
                                           platform::MsgButtons buttons,
                                           platform::MsgIcon /*icon*/) {
    switch (buttons) {
        case platform::MsgButtons::OkCancel:
            return confirm_ ? platform::MsgResult::Ok : platform::MsgResult::Cancel;
        case platform::MsgButtons::YesNo:
            return confirm_ ? platform::MsgResult::Yes : platform::MsgResult::No;
        case platform::MsgButtons::Ok:
            break;
    }
    return platform::MsgResult::Ok;
}
