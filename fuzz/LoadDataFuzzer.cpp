// Fuzz target: the data file loader over arbitrary bytes.

#include "LoadDataCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return CheckLoadData(data, size);
}
