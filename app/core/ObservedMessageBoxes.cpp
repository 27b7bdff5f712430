#include "ObservedMessageBoxes.h"

#include "IRunObserver.h"

platform::MsgResult ObservedMessageBoxes::Show(const std::string& text,
                                               platform::MsgButtons buttons,
                                               platform::MsgIcon icon) {
    ++open_;
    const platform::MsgResult answer = boxes_.Show(text, buttons, icon);
    --open_;
    if (observer_ != nullptr) {
        observer_->OnBox(text, buttons, icon, answer);
    }
    return answer;
}
