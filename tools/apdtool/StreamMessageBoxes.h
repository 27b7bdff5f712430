#pragma once

#include <ostream>

#include "IMessageBoxes.h"

// Message boxes of a console program: each box becomes a line on a stream
// (the program's error output) and is answered with its default.
class StreamMessageBoxes final : public platform::IMessageBoxes {
  public:
    explicit StreamMessageBoxes(std::ostream& out) : out_(out) {}
    platform::MsgResult Show(const std::string& text, platform::MsgButtons buttons,
                             platform::MsgIcon icon) override;

  private:
    std::ostream& out_;
};
