#include "ResultSignal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ResultSignal {

namespace {

// One part of a sound: a tone (with its third harmonic for a buzz) or, at
// 0 Hz, silence.
struct Part {
    double hz;
    int ms;
    bool buzz;
};

// A chime that rises a fifth: heard as "done".
constexpr Part kSuccess[] = {{660, 110, false}, {990, 170, false}};
// Three low beeps with a harsh edge, about a second in all: heard as
// "look here" even among several chimes.
constexpr Part kFailure[] = {
    {330, 220, true}, {0, 110, false}, {330, 220, true}, {0, 110, false}, {330, 220, true}};

constexpr double kAmplitude = 0.45 * 32767;
constexpr double kFadeMs = 6;

void Render(const Part& part, int rate, int channels, std::vector<std::int16_t>& out) {
    const long frames = static_cast<long>(part.ms) * rate / 1000;
    const double fade = kFadeMs * rate / 1000;
    for (long i = 0; i < frames; ++i) {
        double value = 0;
        if (part.hz > 0) {
            const double phase = 2 * std::numbers::pi * part.hz * static_cast<double>(i) / rate;
            value =
                part.buzz ? 0.75 * std::sin(phase) + 0.25 * std::sin(3 * phase) : std::sin(phase);
            const double edge = std::min<double>(i, frames - 1 - i);
            value *= std::min(1.0, edge / fade);
        }
        const auto sample = static_cast<std::int16_t>(std::lround(value * kAmplitude));
        out.insert(out.end(), static_cast<std::size_t>(channels), sample);
    }
}

}  // namespace

Sound SoundFor(StationTile::Result result) {
    switch (result) {
        case StationTile::Result::Success:
        case StationTile::Result::Skipped:
            return Sound::Success;
        case StationTile::Result::Failure:
            return Sound::Failure;
        case StationTile::Result::None:
            break;
    }
    return Sound::None;
}

std::vector<std::int16_t> Samples(Sound sound, int sampleRate, int channels) {
    std::vector<std::int16_t> out;
    if (sound == Sound::None || sampleRate < 8000 || sampleRate > 384000 || channels < 1 ||
        channels > 8) {
        return out;
    }
    const auto render = [&](const auto& parts) {
        for (const Part& part : parts) {
            Render(part, sampleRate, channels, out);
        }
    };
    sound == Sound::Success ? render(kSuccess) : render(kFailure);
    return out;
}

Face FaceFor(StationTile::Result result) {
    // Strong enough to tell apart from across the bench, light enough for
    // the tile's dark text (contrast 5.4:1 on the red, more on the others).
    constexpr std::uint32_t kDarkText = 0x111111;
    switch (result) {
        case StationTile::Result::Success:
            return {true, 0x66bb6a, kDarkText};
        case StationTile::Result::Skipped:
            return {true, 0xffca28, kDarkText};
        case StationTile::Result::Failure:
            return {true, 0xef5350, kDarkText};
        case StationTile::Result::None:
            break;
    }
    return {};
}

}  // namespace ResultSignal
