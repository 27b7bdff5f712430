#pragma once

#include <cstdint>
#include <vector>

#include "StationTile.h"

// How a run's end is signalled to an operator across the bench, as a
// programmer's lamp and beep: the tile's face in the result's colour and a
// short sound. Plain rules and samples; the window paints and plays them.
namespace ResultSignal {

enum class Sound {
    None,
    Success,  // a short rising two-tone
    Failure   // three low, buzzing beeps: longer and unlike the success
};

// The sound for a result. A skipped unit already had the file's data: for
// the operator it is a good unit to take off, so it sounds as a success.
Sound SoundFor(StationTile::Result result);

// The sound as signed 16-bit samples at `sampleRate`, the same sample in
// each of `channels` one after another (interleaved). Each tone fades in and
// out so that it does not click. Empty for Sound::None or a rate or channel
// count that makes no sense.
std::vector<std::int16_t> Samples(Sound sound, int sampleRate, int channels);

// A tile's face after a result: its background and a text colour that stays
// readable on it, as 0xRRGGBB. `coloured` is false while there is no result
// (the window's own colours).
struct Face {
    bool coloured = false;
    std::uint32_t background = 0;
    std::uint32_t text = 0;
};
Face FaceFor(StationTile::Result result);

}  // namespace ResultSignal
