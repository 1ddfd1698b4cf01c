// Pinned runs: see pins.h.
#include "support/pins.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "race/scenes.h"
#include "sim/png_write.h"

namespace {

uint64_t hashBytes(const std::vector<uint8_t>& bytes) {
    uint64_t h = 14695981039346656037ull, word = 0;
    for (size_t at = 0; at < bytes.size(); at += 8, word = 0) {
        std::memcpy(&word, bytes.data() + at, std::min<size_t>(8, bytes.size() - at));
        h = (h ^ word) * 1099511628211ull;
    }
    return h;
}

std::string hex(uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, v);
    return text;
}

std::string pinPath(const std::string& run, const char* suffix) {
    return std::string(PELLRUN_SOURCE_DIR) + "/tests/pins/" + run + suffix;
}

// A stored picture is the box of its difference from the one stored before it (of the same
// size; else from black), each byte less its left and upper neighbours': still areas drop
// out, fades and gradients become runs that zlib packs well.
void differences(std::vector<uint8_t>& d, size_t row, size_t rows) {
    for (size_t k = row * rows; k-- > 0;) d[k] -= k % row >= 3 ? d[k - 3] : 0;
    for (size_t k = row * rows; k-- > row;) d[k] -= d[k - row];
}
void sums(std::vector<uint8_t>& d, size_t row, size_t rows) {
    for (size_t k = row; k < row * rows; ++k) d[k] += d[k - row];
    for (size_t k = 0; k < row * rows; ++k) d[k] += k % row >= 3 ? d[k - 3] : 0;
}

// The stored picture of frame `index` (none when that frame's picture was not kept).
PinPicture storedPicture(const std::string& run, int32_t index) {
    std::ifstream file(pinPath(run, ".frames"), std::ios::binary);
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    PinPicture p;
    uint32_t w[8];   // frame, width, height, the box (x, y, width, height), its packed size
    for (size_t at = 0; at + sizeof w <= data.size(); at += sizeof w + w[7]) {
        std::memcpy(w, &data[at], sizeof w);
        if (w[0] > uint32_t(index) || at + sizeof w + w[7] > data.size()) break;
        if (int32_t(w[1]) != p.width || int32_t(w[2]) != p.height)
            p = PinPicture{int32_t(w[1]), int32_t(w[2]), std::vector<uint8_t>(size_t(w[1]) * w[2] * 3)};
        std::vector<uint8_t> box(size_t(w[5]) * w[6] * 3);
        uLongf length = uLongf(box.size());
        if (w[7] && uncompress(box.data(), &length, &data[at + sizeof w], w[7]) != Z_OK) break;
        sums(box, size_t(w[5]) * 3, w[6]);
        for (size_t y = 0; y < w[6]; ++y)
            for (size_t x = 0; x < size_t(w[5]) * 3; ++x)
                p.bits[((w[4] + y) * w[1] + w[3]) * 3 + x] += box[y * w[5] * 3 + x];
        if (w[0] == uint32_t(index)) return p;
    }
    return PinPicture();
}

// Writes test-artifacts/<test>/<file> in the build folder; returns its path ("" if none).
std::string writeArtifact(const std::string& file, const PinPicture& p) {
    if (p.bits.empty()) return "";
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path dir = std::filesystem::path(PELLRUN_BINARY_DIR) / "test-artifacts" /
                                      (std::string(test->test_suite_name()) + "." + test->name());
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    const std::string path = (dir / file).string();
    return writePng(path.c_str(), p.bits.data(), p.width, p.height, p.width * 3) ? path : "";
}

}  // namespace

PinPicture pinPicture(const uint8_t* bits, int32_t width, int32_t height, int32_t stride, int32_t x, int32_t y,
                      int32_t areaWidth, int32_t areaHeight) {
    PinPicture p{areaWidth < 0 ? width : areaWidth, areaHeight < 0 ? height : areaHeight, {}};
    for (int32_t row = y + p.height - 1; row >= y; --row) {  // bottom-up
        const uint8_t* line = bits + size_t(height - 1 - row) * stride + size_t(x) * 3;
        p.bits.insert(p.bits.end(), line, line + size_t(p.width) * 3);
    }
    return p;
}

std::string pinWhere(uint32_t tickMs, int32_t scene, int32_t step) {
    const char* names[] = {"Start", "Logo", "Course", "Board", "Parade", "Race"};
    return "tick " + std::to_string(tickMs) + " ms, scene " +
           (scene >= 0 && scene <= SceneRace ? names[scene] : std::to_string(scene)) + ", step " + std::to_string(step);
}

PinnedRun::PinnedRun(const std::string& run, int32_t every) : name(run), storeEvery(every) {
    const char* flag = std::getenv("PELLRUN_RENEW_PINS");
    renew = flag != nullptr && std::strcmp(flag, "1") == 0;
    std::ifstream file(pinPath(run, ".txt"));
    for (std::string text; std::getline(file, text);) {
        Line line;
        int whereAt = 0;  // the rest of the line, however long
        if (text[0] != '#' &&
            std::sscanf(text.c_str(), "%" SCNx64 " %" SCNx64 " %n", &line.picture, &line.state, &whereAt) == 2)
            expected.push_back({line.picture, line.state, text.substr(size_t(whereAt))});
    }
}

void PinnedRun::frame(const std::string& where, const PinPicture* picture, uint64_t state) {
    const size_t index = seen.size();
    seen.push_back({picture ? hashBytes(picture->bits) : 0, state, where});
    if (!renew) {
        const Line& now = seen.back();
        if (firstDiff < 0 && (index >= expected.size() || expected[index].picture != now.picture ||
                              expected[index].state != now.state || expected[index].where != now.where)) {
            firstDiff = int32_t(index);
            if (picture) firstDiffPicture = *picture;
        }
        return;
    }
    if (!picture) return;
    const int32_t width = picture->width, height = picture->height;
    std::vector<uint8_t> delta = picture->bits, box;
    if (lastStored.width == width && lastStored.height == height)
        for (size_t k = 0; k < delta.size(); ++k) delta[k] -= lastStored.bits[k];
    int32_t x0 = width, x1 = 0, y0 = height, y1 = 0;   // the box of what changed
    for (int32_t k = 0; k < width * height * 3; ++k)
        if (delta[size_t(k)])
            x0 = std::min(x0, k / 3 % width), x1 = std::max(x1, k / 3 % width + 1), y0 = std::min(y0, k / 3 / width),
            y1 = k / 3 / width + 1;
    for (int32_t y = y0; y < y1; ++y)
        box.insert(box.end(), delta.begin() + (long(y) * width + x0) * 3, delta.begin() + (long(y) * width + x1) * 3);
    uLongf size = box.empty() ? 0 : compressBound(uLong(box.size()));
    std::vector<uint8_t> packed(size);
    if (size) {
        differences(box, size_t(x1 - x0) * 3, size_t(y1 - y0));
        compress2(packed.data(), &size, box.data(), uLong(box.size()), 9);
    }
    if (index % size_t(storeEvery) != 0 && size > 4096) return;   // kept when cheap or when its turn comes
    const uint32_t w[8] = {uint32_t(index), uint32_t(width), uint32_t(height), uint32_t(std::min(x0, x1)),
                           uint32_t(std::min(y0, y1)), uint32_t(std::max(x1 - x0, 0)), uint32_t(std::max(y1 - y0, 0)),
                           uint32_t(size)};
    store.insert(store.end(), reinterpret_cast<const uint8_t*>(w), reinterpret_cast<const uint8_t*>(w + 8));
    store.insert(store.end(), packed.begin(), packed.begin() + long(size));
    lastStored = *picture;
}

void PinnedRun::check() {
    if (renew) {
        std::ofstream text(pinPath(name, ".txt"));
        text << "# picture state where: one line per frame of the pinned run " << name
             << " (PELLRUN_RENEW_PINS=1 renews it)\n";
        for (const Line& line : seen) text << hex(line.picture) << " " << hex(line.state) << " " << line.where << "\n";
        std::filesystem::remove(pinPath(name, ".frames"));
        if (!store.empty())
            std::ofstream(pinPath(name, ".frames"), std::ios::binary)
                .write(reinterpret_cast<const char*>(store.data()), std::streamsize(store.size()));
        std::printf("renewed tests/pins/%s.txt: %zu frames, %zu bytes of pictures\n", name.c_str(), seen.size(),
                    store.size());
        return;
    }
    if (firstDiff < 0 && seen.size() == expected.size() && !expected.empty()) return;
    std::ostringstream report;
    report << "pinned run " << name << " (tests/pins/" << name << ".txt): ";
    if (firstDiff < 0 || size_t(firstDiff) >= expected.size()) {
        report << "the run has " << seen.size() << " frames, the expectation " << expected.size()
               << (expected.empty() ? " (make it with PELLRUN_RENEW_PINS=1)" : "");
        ADD_FAILURE() << report.str();
        return;
    }
    const Line &now = seen[size_t(firstDiff)], &want = expected[size_t(firstDiff)];
    report << "frame " << firstDiff << " (" << now.where << ")";
    if (want.where != now.where) report << " was expected at " << want.where << ";";
    report << " picture " << hex(now.picture) << " expected " << hex(want.picture) << ", state " << hex(now.state)
           << " expected " << hex(want.state);
    const std::string prefix = name + "-" + std::to_string(firstDiff);
    const PinPicture stored = storedPicture(name, firstDiff);
    const std::string actual = writeArtifact(prefix + "-actual.png", firstDiffPicture),
                      wanted = writeArtifact(prefix + "-expected.png", stored);
    if (!actual.empty()) report << "\n  actual:   " << actual;
    if (!wanted.empty())
        report << "\n  expected: " << wanted << (hashBytes(stored.bits) == want.picture ? "" : " (stale)");
    if (!actual.empty() && wanted.empty()) report << "\n  (the expected picture of this frame is not stored)";
    if (!wanted.empty() && stored.width == firstDiffPicture.width && stored.height == firstDiffPicture.height) {
        // Where they differ: those pixels white on the expected picture darkened.
        PinPicture marks = stored;
        int32_t count = 0, x0 = stored.width, x1 = -1, y0 = stored.height, y1 = -1;
        for (int32_t k = 0; k < stored.width * stored.height; ++k) {
            uint8_t* p = &marks.bits[size_t(k) * 3];
            const bool differs = std::memcmp(p, &firstDiffPicture.bits[size_t(k) * 3], 3) != 0;
            const int32_t x = k % stored.width, y = stored.height - 1 - k / stored.width;
            if (differs)
                ++count, x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
            for (int c = 0; c < 3; ++c) p[c] = differs ? 255 : p[c] / 4;
        }
        report << "\n  " << count << " pixels differ, within x " << x0 << ".." << x1 << ", y " << y0 << ".." << y1
               << " (from the top): " << writeArtifact(prefix + "-differences.png", marks);
    }
    ADD_FAILURE() << report.str();
}
