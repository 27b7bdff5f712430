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
    // Closes every box that is open now, each answered as its close button
    // would (OK, Cancel or No). For a program that has to end at once.
    virtual void DismissOpen() {}
};

}  // namespace platform
