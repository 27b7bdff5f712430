#pragma once

#include <cstddef>
#include <cstdint>

// Fills the module tables once, loads the bytes as a data file image and
// aborts when the outcome breaks one of the loader's promises. Always 0.
int CheckLoadData(const std::uint8_t* data, std::size_t size);
