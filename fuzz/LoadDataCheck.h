#pragma once

#include <cstddef>
#include <cstdint>

// Fills the module tables once; every fuzz entry point calls it first.
void PrepareLoadDataFuzzing();

// Loads the bytes as a data file image and aborts when the outcome breaks
// one of the loader's promises. Always returns 0.
int CheckLoadData(const std::uint8_t* data, std::size_t size);
