// Pinned runs: a deterministic run records, frame by frame, where it is (tick, scene, step
// or whatever places the frame), a hash of its picture and a hash of its state. The
// expectation is data: tests/pins/<run>.txt holds one line per frame, "picture state
// where", and tests/pins/<run>.frames the expected pictures (each zlib-compressed as its
// difference from the picture stored before it). A run that differs fails with the first
// frame that does, in hex, and leaves both pictures, and one marking the pixels that
// differ, as PNG files in the build folder: test-artifacts/<test>/<run>-<frame>-expected.png,
// -actual.png and -differences.png.
//
// After an intended change, renew the expectations instead of editing them:
//     PELLRUN_RENEW_PINS=1 ctest --preset linux -R Pinned
// rewrites the files of every pinned run the tests pass through (then look at the diff).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/surface.h"
#include "platform/soft/soft.h"

// A picture as the Surfaces keep it: 24-bit rows, bottom-up, here without padding.
struct PinPicture {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> bits;
};
// The area (x, y, width, height; all of it by default) of a bottom-up 24-bit picture.
PinPicture pinPicture(const uint8_t* bits, int32_t width, int32_t height, int32_t stride, int32_t x = 0,
                      int32_t y = 0, int32_t areaWidth = -1, int32_t areaHeight = -1);
inline PinPicture pinPicture(const Surface& s) { return pinPicture(s.bits, s.width, s.height, s.stride); }
inline PinPicture pinPicture(const SoftBitmap& b) { return pinPicture(b.bits, b.width, b.height, b.stride); }

// "tick 6240 ms, scene Board, step 4" for a frame of the program.
std::string pinWhere(uint32_t tickMs, int32_t scene, int32_t step);

class PinnedRun {
public:
    // storeEvery: the expected picture of every n-th frame is kept, and of any other frame
    // that packs into 4 KB (a budget for long runs).
    explicit PinnedRun(const std::string& run, int32_t storeEvery = 1);
    // Records the next frame; a frame without a picture pins its state only.
    void frame(const std::string& where, const PinPicture* picture, uint64_t state = 0);
    void frame(const std::string& where, const PinPicture& p, uint64_t state = 0) { frame(where, &p, state); }
    // Fails the test at the first frame that differs (or renews the expectation).
    void check();

private:
    struct Line {
        uint64_t picture = 0, state = 0;
        std::string where;
    };
    std::string name;
    int32_t storeEvery;
    bool renew;
    std::vector<Line> expected, seen;
    int32_t firstDiff = -1;
    PinPicture firstDiffPicture, lastStored;
    std::vector<uint8_t> store;   // renewing: the .frames file being made
};
