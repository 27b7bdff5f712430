#pragma once

#include "IMessageBoxes.h"

// The runner's message boxes: none is shown; a question is answered as the
// command line says (OK / Yes or Cancel / No), any other box with OK. The
// window reports each box and its answer.
class AutoMessageBoxes final : public platform::IMessageBoxes {
  public:
    explicit AutoMessageBoxes(bool confirm) : confirm_(confirm) {}

    platform::MsgResult Show(const std::string& text, platform::MsgButtons buttons,
                             platform::MsgIcon icon) override;

  private:
    bool confirm_;
};
