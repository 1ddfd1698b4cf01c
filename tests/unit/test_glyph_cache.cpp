// The software text output keeps rendered glyphs; drawing from that cache must give the
// same pixels as rendering every glyph again, for every string the program draws.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "gfx/text.h"
#include "platform/headless/headless.h"
#include "platform/soft/soft.h"
#include "race/board.h"
#include "race/roster.h"

namespace {

struct Draw {
    std::string text;
    int32_t x, y, cellWidth, cellHeight;
    uint32_t colour, flags;
};

// Every drawing on a fresh canvas.
std::vector<std::vector<uint8_t>> drawEach(const std::vector<Draw>& draws) {
    std::vector<std::vector<uint8_t>> out;
    for (const Draw& d : draws) {
        Surface s{};
        createSurface(s, nullptr, 420, 60, 24);
        drawRect(s, 0, 0, 419, 59, 0x204060, RectFill);
        drawText(s, d.text.c_str(), d.x, d.y, d.colour, d.flags, d.cellWidth, d.cellHeight, 0, "");
        out.emplace_back(s.bits, s.bits + size_t(s.stride) * s.height);
        releaseSurface(s);
    }
    return out;
}

// The program's strings, then more sizes and characters than the table holds (the rest
// are rendered each time): uncached, while the cache fills, and from the cache.
TEST(GlyphCache, SamePixelsAsRenderingEachTime) {
    headlessReset(HeadlessConfig());   // the outline font of the package, at every size
    std::vector<Draw> draws;
    for (const RosterEntry& entry : roster) {
        // The board's big names (plain and smoothed), the runner list's small ones, and
        // cells cut at every edge of the canvas.
        draws.push_back({entry.name, 2, 4, 10, 40, 0xFFFFFF, TextPlain});
        draws.push_back({entry.name, 2, 4, 10, 40, 0xFFFF00, TextSmoothed});
        draws.push_back({entry.name, 40, 10, 10, 20, 0x00FFFF, TextPlain});
        draws.push_back({entry.name, -7, -9, 10, 20, 0xFFFFFF, TextPlain});
    }
    for (uint8_t style = 0; style < 4; ++style) draws.push_back({boardStyleLabel(style), 0, 0, 10, 40, 0xFFFFFF, 0});
    for (int h = 0; h < 24; ++h)
        for (int m = 0; m < 60; m += 7) {
            char clock[9];
            std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", h, m, (h * 13 + m) % 60);
            draws.push_back({clock, 10, 1, 10, 20, 0xFFFFFF, TextPlain});
        }
    draws.push_back({" 12.3", 0, 0, 20, 40, 0xFFFFFF, TextPlain});
    draws.push_back({"999.9", 400, 30, 20, 40, 0xFFFFFF, TextPlain});
    draws.push_back({"AB\x82", 0, 0, 10, 20, 0xFFFFFF, TextPlain});   // a lead byte at the end
    draws.push_back({"\x85\x40Z", 0, 0, 10, 20, 0xFFFFFF, TextPlain});   // a pair with no code point
    std::string ascii;
    for (int c = 0x21; c < 0x7F; ++c) ascii += char(c);
    for (int32_t size = 6; size < 40; ++size) draws.push_back({ascii, 0, 0, size / 2, size, 0xFFFFFF, TextPlain});
    softSetGlyphCache(false);
    const auto uncached = drawEach(draws);
    softSetGlyphCache(true);
    const auto firstFill = drawEach(draws), fromCache = drawEach(draws);
    for (size_t i = 0; i < draws.size(); ++i)
        EXPECT_TRUE(firstFill[i] == uncached[i] && fromCache[i] == uncached[i])
            << '"' << draws[i].text << "\" " << draws[i].cellHeight;
}

}  // namespace
