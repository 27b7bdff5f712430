#pragma once

#include <cstdint>

// What sending the next (or the same) download block came to.
enum class BlockSendResult : std::int16_t {
    Sent = 0,     // the request is on its way
    NotSent = 1,  // the request could not be built or handed to the driver
    NoBlock = 2,  // no block left of this kind
};
