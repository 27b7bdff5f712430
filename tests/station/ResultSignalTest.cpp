// How a run's end is signalled across the bench: the sound and the face.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <tuple>
#include <utility>
#include <vector>

#include "ResultSignal.h"

namespace {

using ResultSignal::Sound;
using Result = StationTile::Result;

// A stretch of sound between silences of 20 ms or more, with its pitch from
// the zero crossings of its first and last thirds (a rising tone shows it).
struct Burst {
    double seconds;
    double firstHz;
    double lastHz;
};

std::vector<Burst> Bursts(const std::vector<std::int16_t>& mono, int rate) {
    const auto pitch = [&](std::size_t from, std::size_t to) {
        int crossings = 0;
        for (std::size_t i = from + 1; i < to; ++i) {
            crossings += (mono[i - 1] < 0) != (mono[i] < 0) ? 1 : 0;
        }
        return crossings * rate / 2.0 / static_cast<double>(to - from);
    };
    const auto loud = [&](std::size_t i) { return std::abs(mono[i]) >= 300; };
    std::vector<Burst> bursts;
    for (std::size_t i = 0; i < mono.size();) {
        for (; i < mono.size() && !loud(i); ++i) {
        }
        const std::size_t start = i;
        std::size_t end = i;
        for (; i < mono.size() && i - end < static_cast<std::size_t>(rate) / 50; ++i) {
            end = loud(i) ? i + 1 : end;
        }
        if (end > start) {
            const std::size_t third = (end - start) / 3;
            bursts.push_back({static_cast<double>(end - start) / rate, pitch(start, start + third),
                              pitch(end - third, end)});
        }
    }
    return bursts;
}

// WCAG's contrast of two 0xRRGGBB colours.
double Contrast(std::uint32_t a, std::uint32_t b) {
    const auto luminance = [](std::uint32_t rgb) {
        double sum = 0;
        for (const auto& [shift, weight] : {std::pair{16, 0.2126}, {8, 0.7152}, {0, 0.0722}}) {
            const double v = ((rgb >> shift) & 0xff) / 255.0;
            sum += weight * (v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
        }
        return sum;
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace

// Every result that ends a run is heard and seen (a skip as the good unit it
// is); the faces differ and keep their text readable.
TEST(ResultSignal, EachResultHasItsSoundAndAReadableFace) {
    const struct {
        Result result;
        Sound sound;
        bool coloured;
    } cases[] = {{Result::None, Sound::None, false},
                 {Result::Success, Sound::Success, true},
                 {Result::Skipped, Sound::Success, true},
                 {Result::Failure, Sound::Failure, true}};
    std::vector<std::uint32_t> backgrounds;
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.result));
        EXPECT_EQ(ResultSignal::SoundFor(c.result), c.sound);
        const ResultSignal::Face face = ResultSignal::FaceFor(c.result);
        ASSERT_EQ(face.coloured, c.coloured);
        if (face.coloured) {
            EXPECT_GE(Contrast(face.background, face.text), 4.5);
            EXPECT_EQ(std::count(backgrounds.begin(), backgrounds.end(), face.background), 0);
            backgrounds.push_back(face.background);
        }
    }
}

// The success rises in one short chime; the failure is three lower beeps
// and lasts longer. At any rate and channel count the samples are whole
// frames, the same in every channel, loud without clipping and without
// clicks.
TEST(ResultSignal, TheTwoSoundsDifferAtEveryRate) {
    const struct {
        int rate;
        int channels;
    } formats[] = {{8000, 1}, {22050, 2}, {48000, 2}};
    for (const auto& f : formats) {
        SCOPED_TRACE(std::to_string(f.rate) + " Hz x" + std::to_string(f.channels));
        std::vector<Burst> heard[2];
        for (const Sound sound : {Sound::Success, Sound::Failure}) {
            const std::vector<std::int16_t> samples =
                ResultSignal::Samples(sound, f.rate, f.channels);
            ASSERT_FALSE(samples.empty());
            ASSERT_EQ(samples.size() % static_cast<std::size_t>(f.channels), 0u);
            std::vector<std::int16_t> mono;
            for (std::size_t i = 0; i < samples.size(); ++i) {
                if (i % static_cast<std::size_t>(f.channels) == 0) {
                    mono.push_back(samples[i]);
                }
                ASSERT_EQ(samples[i], mono.back()) << "channels differ at " << i;
            }
            const int peak = *std::max_element(mono.begin(), mono.end());
            EXPECT_GT(peak, 32767 / 4);
            EXPECT_LT(peak, 32767 * 6 / 10);
            // No click: every step is one a tone of the sounds' pitches can
            // make, also where a tone starts, stops or changes.
            int step = std::abs(mono.front()) + std::abs(mono.back());
            for (std::size_t i = 1; i < mono.size(); ++i) {
                step = std::max(step, std::abs(mono[i] - mono[i - 1]));
            }
            EXPECT_LT(step, peak * 2 * 3.1416 * 1500 / f.rate);
            heard[sound == Sound::Failure] = Bursts(mono, f.rate);
        }
        const std::vector<Burst>& success = heard[0];
        const std::vector<Burst>& failure = heard[1];
        ASSERT_EQ(success.size(), 1u);
        ASSERT_EQ(failure.size(), 3u);
        EXPECT_LT(success[0].seconds, 0.5);
        EXPECT_GT(success[0].lastHz, success[0].firstHz * 1.3);  // rising
        double failureSeconds = 0;
        for (const Burst& beep : failure) {
            EXPECT_LT(beep.firstHz, success[0].firstHz * 0.7);  // low
            failureSeconds += beep.seconds;
        }
        EXPECT_GT(failureSeconds, success[0].seconds * 1.5);
    }
    for (const auto& [sound, rate, channels] :
         {std::tuple{Sound::None, 44100, 1}, {Sound::Success, 0, 1}, {Sound::Success, 44100, 0}}) {
        EXPECT_TRUE(ResultSignal::Samples(sound, rate, channels).empty());
    }
}
