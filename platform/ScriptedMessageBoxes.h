#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "IMessageBoxes.h"

namespace platform {

// Message boxes for tests: every box is recorded; answers come from a script
// queue, else the default answer for the buttons (OK, Cancel, No). An optional hook runs while the
// box is "open", so a test can let timers and serial events through as a real modal box does.
class ScriptedMessageBoxes final : public IMessageBoxes {
  public:
    struct Shown {
        std::string text;
        MsgButtons buttons;
        MsgIcon icon;
        MsgResult answer;
    };

    MsgResult Show(const std::string& text, MsgButtons buttons, MsgIcon icon) override;

    void QueueAnswer(MsgResult answer) { script_.push_back(answer); }
    void SetWhileOpen(std::function<void(const Shown&)> hook) { whileOpen_ = std::move(hook); }

    const std::vector<Shown>& Boxes() const { return shown_; }
    std::vector<std::string> Texts() const;
    void Clear() { shown_.clear(); }

  private:
    std::deque<MsgResult> script_;
    std::vector<Shown> shown_;
    std::function<void(const Shown&)> whileOpen_;
};

}  // namespace platform
