#include "ProgramMessageBoxes.h"

namespace platform {
namespace {

class SilentMessageBoxes final : public IMessageBoxes {
  public:
    MsgResult Show(const std::string&, MsgButtons buttons, MsgIcon) override {
        switch (buttons) {
            case MsgButtons::OkCancel:
                return MsgResult::Cancel;
            case MsgButtons::YesNo:
                return MsgResult::No;
            case MsgButtons::Ok:
                break;
        }
        return MsgResult::Ok;
    }
};

SilentMessageBoxes g_silent;
IMessageBoxes* g_current = nullptr;

}  // namespace

IMessageBoxes& ProgramMessageBoxes::Get() {
    return g_current != nullptr ? *g_current : g_silent;
}

void ProgramMessageBoxes::Set(IMessageBoxes* boxes) {
    g_current = boxes;
}

ScopedProgramMessageBoxes::ScopedProgramMessageBoxes(IMessageBoxes& boxes) : previous_(nullptr) {
    IMessageBoxes& current = ProgramMessageBoxes::Get();
    previous_ = &current;
    ProgramMessageBoxes::Set(&boxes);
}

ScopedProgramMessageBoxes::~ScopedProgramMessageBoxes() {
    ProgramMessageBoxes::Set(previous_);
}

}  // namespace platform
