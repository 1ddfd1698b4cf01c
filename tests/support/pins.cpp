// Pinned runs: see pins.h.
#include "support/pins.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
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
    size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        std::memcpy(&word, bytes.data() + at, 8);
        h = (h ^ word) * 1099511628211ull;
    }
    for (; at < bytes.size(); ++at) h = (h ^ bytes[at]) * 1099511628211ull;
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

void putWord(std::vector<uint8_t>& out, uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(uint8_t(v >> (8 * k)));
}
uint32_t getWord(const std::vector<uint8_t>& in, size_t at) {
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v |= uint32_t(in[at + k]) << (8 * k);
    return v;
}

// A stored picture is its difference from the one stored before it (of the same size; else
// from black), each byte less its left and upper neighbours': fades, gradients and still
// areas all become runs that zlib packs well.
void differences(std::vector<uint8_t>& d, int32_t width, int32_t height) {
    const size_t row = size_t(width) * 3;
    for (size_t y = size_t(height); y-- > 0;)
        for (size_t x = row; x-- > 0;) {
            if (x >= 3) d[y * row + x] -= d[y * row + x - 3];
            if (y > 0) d[y * row + x] -= x >= 3 ? uint8_t(d[(y - 1) * row + x] - d[(y - 1) * row + x - 3])
                                                : d[(y - 1) * row + x];
        }
}
void sums(std::vector<uint8_t>& d, int32_t width, int32_t height) {
    const size_t row = size_t(width) * 3;
    for (size_t y = 1; y < size_t(height); ++y)
        for (size_t x = 0; x < row; ++x) d[y * row + x] += d[(y - 1) * row + x];
    for (size_t y = 0; y < size_t(height); ++y)
        for (size_t x = 3; x < row; ++x) d[y * row + x] += d[y * row + x - 3];
}

// The stored picture of frame `index`, following the chain of a .frames file; an empty
// picture when that frame's picture was not kept.
PinPicture storedPicture(const std::string& run, int32_t index) {
    std::ifstream file(pinPath(run, ".frames"), std::ios::binary);
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    PinPicture picture;
    for (size_t at = 0; at + 32 <= data.size();) {
        uint32_t w[8];   // frame, width, height, then the changed box (x, y, width, height), packed size
        for (int k = 0; k < 8; ++k) w[k] = getWord(data, at + 4 * k);
        if (w[0] > uint32_t(index) || at + 32 + w[7] > data.size()) break;
        if (int32_t(w[1]) != picture.width || int32_t(w[2]) != picture.height)
            picture = PinPicture{int32_t(w[1]), int32_t(w[2]), std::vector<uint8_t>(size_t(w[1]) * w[2] * 3)};
        std::vector<uint8_t> box(size_t(w[5]) * w[6] * 3);
        uLongf length = uLongf(box.size());
        if (w[7] && uncompress(box.data(), &length, data.data() + at + 32, w[7]) != Z_OK) break;
        sums(box, int32_t(w[5]), int32_t(w[6]));
        for (size_t y = 0; y < w[6]; ++y)
            for (size_t x = 0; x < size_t(w[5]) * 3; ++x)
                picture.bits[((w[4] + y) * w[1] + w[3]) * 3 + x] += box[y * w[5] * 3 + x];
        if (w[0] == uint32_t(index)) return picture;
        at += 32 + w[7];
    }
    return PinPicture();
}

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
    PinPicture p;
    p.width = areaWidth < 0 ? width : areaWidth;
    p.height = areaHeight < 0 ? height : areaHeight;
    p.bits.resize(size_t(p.width) * p.height * 3);
    for (int32_t row = 0; row < p.height; ++row)  // bottom-up: row 0 is the area's last line
        std::memcpy(p.bits.data() + size_t(row) * p.width * 3,
                    bits + size_t(height - 1 - (y + p.height - 1 - row)) * stride + size_t(x) * 3, size_t(p.width) * 3);
    return p;
}

std::string pinWhere(uint32_t tickMs, int32_t scene, int32_t step) {
    const char* names[] = {"Start", "Logo", "Course", "Board", "Parade", "Race"};
    std::ostringstream where;
    where << "tick " << tickMs << " ms, scene ";
    if (scene >= 0 && scene <= SceneRace) where << names[scene]; else where << scene;
    where << ", step " << step;
    return where.str();
}

PinnedRun::PinnedRun(const std::string& run, int32_t every) : name(run), storeEvery(every) {
    const char* flag = std::getenv("PELLRUN_RENEW_PINS");
    renew = flag != nullptr && std::strcmp(flag, "1") == 0;
    std::ifstream file(pinPath(run, ".txt"));
    for (std::string text; std::getline(file, text);) {
        Line line;
        char where[256] = "";
        if (text.empty() || text[0] == '#' ||
            std::sscanf(text.c_str(), "%" SCNx64 " %" SCNx64 " %255[^\n]", &line.picture, &line.state, where) < 2)
            continue;
        line.where = where;
        expected.push_back(line);
    }
}

void PinnedRun::frame(const std::string& where, const PinPicture* picture, uint64_t state) {
    const int32_t index = int32_t(seen.size());
    seen.push_back({picture ? hashBytes(picture->bits) : 0, state, where});
    if (renew) {
        if (!picture) return;
        const int32_t width = picture->width, height = picture->height;
        std::vector<uint8_t> delta = picture->bits;
        if (lastStored.width == width && lastStored.height == height)
            for (size_t k = 0; k < delta.size(); ++k) delta[k] -= lastStored.bits[k];
        int32_t x0 = width, x1 = 0, y0 = height, y1 = 0;   // the box of what changed
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width * 3; ++x)
                if (delta[size_t(y) * width * 3 + x])
                    x0 = std::min(x0, x / 3), x1 = std::max(x1, x / 3 + 1), y0 = std::min(y0, y), y1 = y + 1;
        std::vector<uint8_t> box;
        for (int32_t y = y0; y < y1; ++y)
            box.insert(box.end(), delta.begin() + (long(y) * width + x0) * 3, delta.begin() + (long(y) * width + x1) * 3);
        uLongf size = 0;
        std::vector<uint8_t> packed(compressBound(uLong(box.size())));
        if (!box.empty()) {
            differences(box, x1 - x0, y1 - y0);
            size = uLongf(packed.size());
            compress2(packed.data(), &size, box.data(), uLong(box.size()), 9);
        }
        if (index % storeEvery != 0 && size > 4096) return;   // kept when cheap or when its turn comes
        for (int32_t v : {index, width, height, x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0), int32_t(size)})
            putWord(store, uint32_t(v));
        store.insert(store.end(), packed.begin(), packed.begin() + long(size));
        lastStored = *picture;
    } else if (firstDiff < 0) {
        const Line& now = seen.back();
        if (size_t(index) >= expected.size() || expected[index].picture != now.picture ||
            expected[index].state != now.state || expected[index].where != now.where) {
            firstDiff = index;
            if (picture) firstDiffPicture = *picture;
        }
    }
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
    if (expected.empty()) {
        ADD_FAILURE() << "no expectation for the pinned run " << name << " (tests/pins/" << name
                      << ".txt); make it with PELLRUN_RENEW_PINS=1";
        return;
    }
    if (firstDiff < 0 && seen.size() == expected.size()) return;
    std::ostringstream report;
    report << "pinned run " << name << ": ";
    if (firstDiff < 0) {
        report << "the run ends after " << seen.size() << " frames; " << expected.size() << " were expected, frame "
               << seen.size() << " (" << expected[seen.size()].where << ") next";
        ADD_FAILURE() << report.str();
        return;
    }
    const Line& now = seen[size_t(firstDiff)];
    report << "frame " << firstDiff << " (" << now.where << ")";
    if (size_t(firstDiff) >= expected.size()) {
        report << " is one more than the " << expected.size() << " expected";
    } else {
        const Line& want = expected[size_t(firstDiff)];
        if (want.where != now.where) report << " was expected at " << want.where << ";";
        report << " picture " << hex(now.picture) << " expected " << hex(want.picture) << ", state "
               << hex(now.state) << " expected " << hex(want.state);
        const std::string prefix = name + "-" + std::to_string(firstDiff);
        const std::string actual = writeArtifact(prefix + "-actual.png", firstDiffPicture);
        const PinPicture stored = storedPicture(name, firstDiff);
        const std::string wanted = writeArtifact(prefix + "-expected.png", stored);
        if (!wanted.empty() && stored.width == firstDiffPicture.width && stored.height == firstDiffPicture.height) {
            // Where they differ: the pixels that do, white on the expected picture darkened.
            PinPicture marks = stored;
            int32_t count = 0, x0 = stored.width, x1 = -1, y0 = stored.height, y1 = -1;
            for (int32_t row = 0; row < stored.height; ++row)
                for (int32_t x = 0; x < stored.width; ++x) {
                    uint8_t* p = &marks.bits[(size_t(row) * stored.width + x) * 3];
                    const bool differs = std::memcmp(p, &firstDiffPicture.bits[(size_t(row) * stored.width + x) * 3], 3);
                    const int32_t y = stored.height - 1 - row;
                    if (differs) ++count, x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
                    for (int c = 0; c < 3; ++c) p[c] = differs ? 255 : p[c] / 4;
                }
            report << "\n  " << count << " pixels differ, within x " << x0 << ".." << x1 << ", y " << y0 << ".." << y1
                   << " (from the top): " << writeArtifact(prefix + "-differences.png", marks);
        }
        if (!actual.empty()) report << "\n  actual:   " << actual;
        if (!wanted.empty())
            report << "\n  expected: " << wanted << (hashBytes(stored.bits) == want.picture ? "" : " (stored, stale)");
        else if (!actual.empty())
            report << "\n  (the expected picture of this frame is not stored)";
    }
    ADD_FAILURE() << report.str();
}
