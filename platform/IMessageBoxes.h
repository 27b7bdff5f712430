#pragma once

#include <string>

namespace platform {

enum class MsgIcon { None, Information, Exclamation, Critical };
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgResult { Ok, Cancel, Yes, No };

// Modal message boxes with the application title as caption. Text is UTF-8;
// lines are separated by "\r\n".
class IMessageBoxes {
public:
    virtual ~IMessageBoxes() = default;
    virtual MsgResult Show(const std::string& text, MsgButtons buttons, MsgIcon icon) = 0;
};

}  // namespace platform
