#pragma once

#include "IMessageBoxes.h"

namespace platform {

// The program-wide message boxes. Module procedures and data classes that
// report a fault at once (CRC core, codec, configuration tables, serial driver,
// data file header) show it through this instance. The window installs its
// boxes at start-up; until then, and after Reset, a silent instance answers OK
// (or Cancel/No to a question) and shows nothing.
class ProgramMessageBoxes {
  public:
    static IMessageBoxes& Get();
    static void Set(IMessageBoxes* boxes);
    static void Reset() { Set(nullptr); }
};

// Installs boxes for the lifetime of a scope and restores the previous ones.
class ScopedProgramMessageBoxes {
  public:
    explicit ScopedProgramMessageBoxes(IMessageBoxes& boxes);
    ~ScopedProgramMessageBoxes();
    ScopedProgramMessageBoxes(const ScopedProgramMessageBoxes&) = delete;
    ScopedProgramMessageBoxes& operator=(const ScopedProgramMessageBoxes&) = delete;

  private:
    IMessageBoxes* previous_;
};

}  // namespace platform
