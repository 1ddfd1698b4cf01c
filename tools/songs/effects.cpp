// Effects are built on a circular buffer: every sound that runs past the end of the
// loop carries on at its start, and filters run round twice so their state at the
// start is the state at the end. The loops therefore join without a click.
#include "effects.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const int Rate = 22050;
const double Pi = 3.14159265358979323846;

struct Noise {
    uint32_t state;
    double next() {
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 23) - 1.0;
    }
};

typedef std::vector<double> Wave;

// A two-pole resonant band-pass (the usual biquad), run round the loop twice.
void bandPassCircular(Wave& w, double centre, double q) {
    double omega = 2 * Pi * centre / Rate, alpha = std::sin(omega) / (2 * q);
    double b0 = alpha, b2 = -alpha, a0 = 1 + alpha, a1 = -2 * std::cos(omega), a2 = 1 - alpha;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    Wave out(w.size());
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < w.size(); ++i) {
            double x = w[i];
            double y = (b0 * x + b2 * x2 - a1 * y1 - a2 * y2) / a0;
            x2 = x1, x1 = x, y2 = y1, y1 = y;
            if (pass == 1) out[i] = y;
        }
    }
    w = out;
}

void addCircular(Wave& w, size_t start, const Wave& sound) {
    for (size_t i = 0; i < sound.size(); ++i) w[(start + i) % w.size()] += sound[i];
}

void normalise(Wave& w, double peak) {
    double most = 0;
    for (double v : w) most = std::max(most, std::fabs(v));
    if (most > 0)
        for (double& v : w) v *= peak / most;
}

Bytes toWave(const Wave& w) {
    Bytes out;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    uint32_t dataBytes = uint32_t(w.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(16);
    put16(1);            // PCM
    put16(1);            // mono
    put32(Rate);
    put32(Rate * 2);
    put16(2);
    put16(16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(dataBytes);
    for (double v : w) {
        long s = std::lround(std::max(-1.0, std::min(1.0, v)) * 32767.0);
        put16(uint16_t(int16_t(s)));
    }
    return out;
}

// A soft falling two-tone blip, a quarter of a second.
Wave closing() {
    Wave w(size_t(Rate * 0.25));
    double phase = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        double t = double(i) / Rate;
        double f = t < 0.08 ? 988 : 740;
        phase += 2 * Pi * f / Rate;
        double attack = std::min(1.0, t / 0.005);
        double local = t < 0.08 ? t : t - 0.08;
        double release = std::min(1.0, (0.25 - t) / 0.02);
        w[i] = std::sin(phase) * attack * release * std::exp(-local * 14);
    }
    normalise(w, 0.18);
    return w;
}

// The start: the gate's clang, then the patter of many small feet over the crowd's
// murmur. Two seconds, repeating.
Wave start() {
    const size_t length = size_t(Rate * 2);
    Noise noise{101};
    Wave murmur(length);
    for (double& v : murmur) v = noise.next();
    bandPassCircular(murmur, 500, 0.7);
    Wave w(length);
    for (size_t i = 0; i < length; ++i) {
        double t = double(i) / Rate;
        // Swells twice per loop, so the murmur breathes without a jump at the seam.
        w[i] = murmur[i] * (0.55 + 0.15 * std::sin(2 * Pi * 2 * t / 2.0));
    }
    // Footfalls: short band-limited ticks, in a galloping four-beat figure that
    // shifts a little from stride to stride.
    Noise jitter{7};
    const double stride = 0.25;
    for (int s = 0; s < 8; ++s) {
        const double offsets[4] = {0.0, 0.045, 0.11, 0.16};
        for (double o : offsets) {
            double at = s * stride + o + 0.008 * jitter.next();
            Wave tick(size_t(Rate * 0.03));
            Noise n{uint32_t(1000 + s * 4 + int(o * 100))};
            for (size_t i = 0; i < tick.size(); ++i)
                tick[i] = n.next() * std::exp(-double(i) / Rate * 180) * 1.6;
            addCircular(w, size_t(std::max(0.0, at) * Rate), tick);
        }
    }
    bandPassCircular(w, 900, 0.5);
    normalise(w, 0.5);
    return w;
}

// The final-lap bell: eight quick strikes of a bright bell, 1.6 seconds, repeating.
Wave bell() {
    const size_t length = size_t(Rate * 1.6);
    Wave w(length);
    const double partials[5][3] = {
        {1.0, 1.0, 1.6}, {2.0, 0.5, 2.4}, {2.76, 0.45, 3.0}, {5.4, 0.25, 5.0}, {8.93, 0.12, 8.0}};
    const double fundamental = 1240;
    Wave strike(size_t(Rate * 1.2));
    for (size_t i = 0; i < strike.size(); ++i) {
        double t = double(i) / Rate;
        double v = 0;
        for (const auto& p : partials)
            v += p[1] * std::sin(2 * Pi * fundamental * p[0] * t) * std::exp(-t * p[2]);
        strike[i] = v * std::min(1.0, t / 0.001);
    }
    for (int k = 0; k < 8; ++k) addCircular(w, size_t(k * 0.2 * Rate), strike);
    normalise(w, 0.6);
    return w;
}

// The crowd on the final straight: a roaring band of voices that rises and falls,
// with whistles on top. Three seconds, repeating.
Wave crowd() {
    const size_t length = size_t(Rate * 3);
    const double seconds = 3.0;
    Noise noise{2024};
    Wave low(length), high(length);
    for (double& v : low) v = noise.next();
    for (double& v : high) v = noise.next();
    bandPassCircular(low, 420, 0.8);
    bandPassCircular(high, 1500, 1.2);
    Wave w(length);
    for (size_t i = 0; i < length; ++i) {
        double t = double(i) / Rate;
        double swell = 0.75 + 0.2 * std::sin(2 * Pi * t / seconds) + 0.08 * std::sin(2 * Pi * 3 * t / seconds);
        w[i] = (low[i] * 1.0 + high[i] * 0.6) * swell;
    }
    // Whistles: tones with a whole number of cycles and of vibrato cycles per loop,
    // so each returns to its starting phase at the seam.
    const double whistles[3][4] = {{2100, 0.10, 4, 0.4}, {2640, 0.07, 6, 1.7}, {1760, 0.05, 5, 2.4}};
    for (const auto& wh : whistles) {
        double phase = 0;
        for (size_t i = 0; i < length; ++i) {
            double t = double(i) / Rate;
            double f = wh[0] + 60 * std::sin(2 * Pi * wh[2] * t / seconds);
            phase += 2 * Pi * f / Rate;
            // Each whistle sounds for about a second of the loop, centred on its time.
            double d = std::fabs(t - wh[3]);
            d = std::min(d, seconds - d);
            double envelope = std::exp(-d * d / 0.08);
            w[i] += wh[1] * std::sin(phase) * envelope * 3;
        }
    }
    normalise(w, 0.7);
    return w;
}

}  // namespace

Bytes makeEffect(int index, double* seconds) {
    Wave w = index == 0 ? closing() : index == 1 ? start() : index == 2 ? bell() : crowd();
    if (seconds) *seconds = double(w.size()) / Rate;
    return toWave(w);
}
