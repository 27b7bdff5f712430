#pragma once

#include <functional>

#include "IMessageBoxes.h"

// The runner's message boxes: none is shown; a question is answered as the
// command line says (OK / Yes or Cancel / No), any other box with OK. The
// window reports each box and its answer.
//
// With a hold, each box stays "open" that many milliseconds before it is
// answered: `hold` runs the event loop meanwhile (timers and the line go on,
// as under a real modal box) and returns early when `release` is called.
class AutoMessageBoxes final : public platform::IMessageBoxes {
  public:
    using Hold = std::function<void(int ms)>;

    explicit AutoMessageBoxes(bool confirm, int holdMs = 0, Hold hold = {},
                              std::function<void()> release = {})
        : confirm_(confirm),
          holdMs_(holdMs),
          hold_(std::move(hold)),
          release_(std::move(release)) {}

    platform::MsgResult Show(const std::string& text, platform::MsgButtons buttons,
                             platform::MsgIcon icon) override;
    void DismissOpen() override;

  private:
    bool confirm_;
    int holdMs_;
    Hold hold_;
    std::function<void()> release_;
    bool dismissed_ = false;  // the program is ending: no more holding
};
