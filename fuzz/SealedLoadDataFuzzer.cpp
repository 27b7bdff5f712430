// Fuzz target: the loader over inputs whose CRCs are first made right, so
// the fuzzer explores the header's lengths, counts and page order and the
// cutting of the body instead of stopping at the checks.

#include <vector>

#include "ApdSealer.h"
#include "FuzzSupport.h"
#include "LoadDataCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::PrepareTables();
    std::vector<std::uint8_t> image(data, data + size);
    ApdSealer::Seal(image);
    return CheckLoadData(image.data(), image.size());
}
