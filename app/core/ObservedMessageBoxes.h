#pragma once

#include "IMessageBoxes.h"

class IRunObserver;

// The window's message boxes: shown by the platform's boxes, each box and
// its answer also reported to the run observer (automation report, trace).
class ObservedMessageBoxes final : public platform::IMessageBoxes {
  public:
    explicit ObservedMessageBoxes(platform::IMessageBoxes& boxes) : boxes_(boxes) {}

    platform::MsgResult Show(const std::string& text, platform::MsgButtons buttons,
                             platform::MsgIcon icon) override;
    void DismissOpen() override { boxes_.DismissOpen(); }

    void SetObserver(IRunObserver* observer) { observer_ = observer; }
    // How many boxes are open now (a box lets events in while it is open).
    int OpenCount() const { return open_; }

  private:
    platform::IMessageBoxes& boxes_;
    IRunObserver* observer_ = nullptr;
    int open_ = 0;
};
