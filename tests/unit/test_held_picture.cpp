// A window picture kept only in a 32-bit window surface: copies are written there row by
// row where they differ, marking tiles, and presents send the marked tiles. The surface
// must always equal what was copied, and the tiles sent must cover every change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "gfx/present.h"
#include "platform/headless/headless.h"
#include "platform/sdl/present_diff.h"
#include "race/scenes.h"
#include "support/program_run.h"

namespace {

uint32_t xrgb(const uint8_t* bgr) {
    return uint32_t(bgr[0]) | uint32_t(bgr[1]) << 8 | uint32_t(bgr[2]) << 16;
}

SoftBitmap bitmapOf(const Surface& surface) {
    return SoftBitmap{surface.bits, surface.width, surface.height, surface.stride};
}

uint32_t pixelAt(const std::vector<uint8_t>& pixels, size_t index) {
    uint32_t v;
    std::memcpy(&v, pixels.data() + index * 4, 4);
    return v;
}

TEST(HeldPicture, RowCopyWritesAndMarksExactlyTheDifferingTiles) {
    std::mt19937 random(11);
    for (int32_t trial = 0; trial < 300; ++trial) {
        const int32_t x = int32_t(random() % 100), width = 1 + int32_t(random() % 200);
        std::vector<uint8_t> row(size_t(width) * 3);
        std::vector<uint8_t> shown(size_t(width) * 4);
        for (int32_t i = 0; i < width; ++i) {
            for (int c = 0; c < 3; ++c) row[size_t(i) * 3 + c] = uint8_t(random());
            uint32_t v = xrgb(&row[size_t(i) * 3]);
            // A few pixels differ, some by one byte only.
            if (random() % 40 == 0) v ^= 1u << (random() % 24);
            std::memcpy(&shown[size_t(i) * 4], &v, 4);
        }
        std::vector<uint8_t> expectedTiles(16, 0);
        for (int32_t i = 0; i < width; ++i)
            if (pixelAt(shown, size_t(i)) != xrgb(&row[size_t(i) * 3]))
                expectedTiles[size_t((x + i) / PresentTileWidth)] = 1;
        const bool anyExpected =
            std::find(expectedTiles.begin(), expectedTiles.end(), 1) != expectedTiles.end();

        std::vector<uint8_t> tiles(16, 0);
        EXPECT_EQ(presentCopyRow(row.data(), x, width, shown.data(), tiles.data()), anyExpected);
        EXPECT_EQ(tiles, expectedTiles);
        for (int32_t i = 0; i < width; ++i)
            ASSERT_EQ(pixelAt(shown, size_t(i)), xrgb(&row[size_t(i) * 3])) << trial << " " << i;
        // Now equal: nothing differs and nothing is marked.
        std::vector<uint8_t> again(16, 0);
        EXPECT_FALSE(presentCopyRow(row.data(), x, width, shown.data(), again.data()));
        EXPECT_EQ(again, std::vector<uint8_t>(16, 0));
    }
}

TEST(HeldPicture, TileRectanglesCoverExactlyTheMarksAndClearThem) {
    std::mt19937 random(5);
    const int32_t width = 203, height = 117;
    const int32_t columns = (width + PresentTileWidth - 1) / PresentTileWidth;
    const int32_t bands = (height + PresentTileRows - 1) / PresentTileRows;
    for (int32_t trial = 0; trial < 200; ++trial) {
        std::vector<uint8_t> tiles(size_t(columns) * bands, 0);
        for (uint8_t& t : tiles) t = random() % 4 == 0;
        const std::vector<uint8_t> marked = tiles;
        PresentRect rects[64];
        const int32_t n = presentTileRects(tiles.data(), columns, 0, bands, width, height, rects, 64);
        EXPECT_EQ(tiles, std::vector<uint8_t>(tiles.size(), 0));
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                bool inside = false;
                for (int32_t i = 0; i < n && !inside; ++i)
                    inside = x >= rects[i].x && x < rects[i].x + rects[i].width && y >= rects[i].y &&
                             y < rects[i].y + rects[i].height;
                const bool wanted =
                    marked[size_t(y / PresentTileRows) * columns + size_t(x / PresentTileWidth)] != 0;
                ASSERT_EQ(inside, wanted) << trial << " " << x << "," << y;
            }
        // With room for only two rectangles every mark is still covered.
        tiles = marked;
        const int32_t few = presentTileRects(tiles.data(), columns, 0, bands, width, height, rects, 2);
        EXPECT_LE(few, 2);
        for (int32_t band = 0; band < bands; ++band)
            for (int32_t column = 0; column < columns; ++column) {
                if (!marked[size_t(band) * columns + column]) continue;
                bool inside = false;
                for (int32_t i = 0; i < few && !inside; ++i)
                    inside = column * PresentTileWidth >= rects[i].x &&
                             column * PresentTileWidth < rects[i].x + rects[i].width &&
                             band * PresentTileRows >= rects[i].y &&
                             band * PresentTileRows < rects[i].y + rects[i].height;
                ASSERT_TRUE(inside) << trial;
            }
    }
}

// A held picture as the sdl backend keeps it: the 32-bit surface the copies write, its
// tile marks, and what the screen got through the rectangles of those marks.
struct HeldSurface {
    int32_t width = 0, height = 0, columns = 0, bands = 0;
    std::vector<uint8_t> surface, screen, tiles;
    uint32_t paints = 0, differing = 0, unsent = 0;

    void take(SoftWindow* window) {
        width = window->width;
        height = window->height;
        columns = (width + PresentTileWidth - 1) / PresentTileWidth;
        bands = (height + PresentTileRows - 1) / PresentTileRows;
        surface.assign(size_t(width) * height * 4, 0);
        tiles.assign(size_t(columns) * bands, 0);
        // The surface starts as what the window showed.
        const SoftBitmap& picture = window->backing.bitmap;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t v =
                    xrgb(picture.bits + size_t(height - 1 - y) * picture.stride + size_t(x) * 3);
                std::memcpy(&surface[(size_t(y) * width + x) * 4], &v, 4);
            }
        screen = surface;
        softTakeOverPicture(window, &HeldSurface::copyRow);
    }
    static bool copyRow(SoftWindow*, int32_t x, int32_t y, const uint8_t* row, int32_t width);
    // A present: the marked tiles go to the screen.
    void present() {
        PresentRect rects[64];
        const int32_t n =
            presentTileRects(tiles.data(), columns, 0, bands, width, height, rects, 64);
        for (int32_t i = 0; i < n; ++i)
            for (int32_t y = rects[i].y; y < rects[i].y + rects[i].height; ++y)
                std::memcpy(&screen[(size_t(y) * width + rects[i].x) * 4],
                            &surface[(size_t(y) * width + rects[i].x) * 4], size_t(rects[i].width) * 4);
    }
    // After a paint and its present: the screen must equal the surface, and (on every
    // eighth paint and when asked, as converting the whole picture is slow under the
    // sanitizers) the surface must equal bitmap.
    void check(const SoftBitmap& bitmap, bool always = false) {
        if (screen != surface) ++unsent;
        if (paints++ % 8 != 0 && !always) return;
        bool same = bitmap.width == width && bitmap.height == height;
        const uint8_t* shown = surface.data();
        for (int32_t y = 0; y < height && same; ++y) {
            const uint8_t* row = bitmap.bits + size_t(height - 1 - y) * bitmap.stride;
            for (int32_t x = 0; x < width && same; ++x, shown += 4)
                same = shown[0] == row[x * 3] && shown[1] == row[x * 3 + 1] &&
                       shown[2] == row[x * 3 + 2] && shown[3] == 0;
        }
        if (!same) ++differing;
    }
};

HeldSurface* held;

bool HeldSurface::copyRow(SoftWindow*, int32_t x, int32_t y, const uint8_t* row, int32_t width) {
    uint8_t* to = &held->surface[(size_t(y) * held->width + x) * 4];
    return presentCopyRow(row, x, width, to,
                          &held->tiles[size_t(y / PresentTileRows) * held->columns]);
}

// The whole meeting with the main window's picture held from its first paint on: after
// every paint the surface and the screen equal screenSurface.
void runMeetingHeld(const std::vector<uint8_t>& settings) {
    HeldSurface surface;
    held = &surface;
    ProgramRun run;
    run.writeData("Setup.ini", settings);
    run.begin();
    softCheckPaintCopies(true);
    headlessSetFrameSink(
        [](const SoftBitmap&, void*) {
            SoftWindow* window = softMainWindow();
            if (!window) return;
            if (!window->rowCopy) {
                held->take(window);
                return;
            }
            held->present();
            held->check(bitmapOf(screenSurface));
        },
        nullptr);
    headlessSetSleepHook(
        [](void*) {
            if (raceCount == 1 && scene == SceneBoard && step == 3) platPostQuitMessage(0);
        },
        nullptr);
    run.run("/s");
    headlessSetFrameSink(nullptr, nullptr);
    headlessSetSleepHook(nullptr, nullptr);
    const SoftPaintCopyCounters counters = softPaintCopyCounters();
    softCheckPaintCopies(false);
    held = nullptr;
    EXPECT_GT(surface.paints, 1000u);
    EXPECT_EQ(surface.differing, 0u);
    EXPECT_EQ(surface.unsent, 0u);
    EXPECT_EQ(counters.misses, 0u);
}

TEST(HeldPicture, WholeMeetingWideLayout) { runMeetingHeld({2, 2, 0, 0, 1, 0}); }
TEST(HeldPicture, WholeMeetingNarrowLayout) { runMeetingHeld({2, 1, 0, 0, 0, 1}); }

// Giving the picture back: a black backing, and the next paint compares every row.
TEST(HeldPicture, KeepingThePictureAgainRepaintsIt) {
    headlessReset(HeadlessConfig());
    platRegisterClass("HeldTest", [](WindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp) {
        return platDefWindowProc(w, m, wp, lp);
    }, 0);
    WindowHandle handle = platCreateWindow("HeldTest", "", WsVisible, 0, 0, 64, 40, nullptr, 0);
    SoftWindow* window = softWindow(handle);
    ASSERT_NE(window, nullptr);
    DcHandle windowDc = platGetDC(handle);
    Surface source{};
    createSurface(source, windowDc, 64, 40, 24);
    drawRect(source, 0, 0, 63, 39, 0x336699, RectFill);

    HeldSurface surface;
    held = &surface;
    surface.take(window);
    EXPECT_EQ(window->backing.bitmap.bits, nullptr);
    platBitBlt(windowDc, 0, 0, 64, 40, source.hdc, 0, 0);
    surface.check(bitmapOf(source), true);
    EXPECT_EQ(surface.differing, 0u);

    ASSERT_TRUE(softKeepPicture(window));
    EXPECT_EQ(window->rowCopy, nullptr);
    ASSERT_NE(window->backing.bitmap.bits, nullptr);
    EXPECT_EQ(window->backing.bitmap.bits[0], 0);
    EXPECT_TRUE(window->invalid);
    const uint32_t wholeBefore = softPaintCopyCounters().whole;
    platBitBlt(windowDc, 0, 0, 64, 40, source.hdc, 0, 0);
    EXPECT_EQ(softPaintCopyCounters().whole, wholeBefore + 1);
    EXPECT_EQ(std::memcmp(window->backing.bitmap.bits, source.bits, size_t(source.stride) * 40), 0);
    held = nullptr;
    releaseSurface(source);
    platDestroyWindow(handle);
    softReset();
}

}  // namespace
