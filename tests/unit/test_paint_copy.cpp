// Copies into a window look only at the rows written into their source since the last
// copy. The window must still always show exactly what was copied: every writer reports
// its rows, and a writer that did not would be caught by the checking mode.
//
// A window picture may also be kept only in a 32-bit window surface: copies are written
// there row by row where they differ, marking tiles, and presents send the marked tiles.
// The surface must always equal what was copied, and the tiles sent must cover every change.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <random>
#include <vector>

#include "gfx/present.h"
#include "gfx/text.h"
#include "platform/headless/headless.h"
#include "platform/sdl/present_diff.h"
#include "race/board.h"
#include "race/roster.h"
#include "race/scenes.h"
#include "support/program_run.h"

namespace {

struct WindowAndSource {
    WindowHandle window = nullptr;
    DcHandle windowDc = nullptr;
    Surface source{};

    WindowAndSource(int32_t width, int32_t height) {
        headlessReset(HeadlessConfig());
        platRegisterClass("PaintCopyTest", [](WindowHandle w, uint32_t m, uintptr_t wp,
                                              intptr_t lp) { return platDefWindowProc(w, m, wp, lp); },
                          0);
        window = platCreateWindow("PaintCopyTest", "", WsVisible, 0, 0, width, height, nullptr, 0);
        windowDc = platGetDC(window);
        createSurface(source, windowDc, width, height, 24);
    }
    ~WindowAndSource() {
        releaseSurface(source);
        platDestroyWindow(window);
        softReset();
    }
    void paint() { platBitBlt(windowDc, 0, 0, source.width, source.height, source.hdc, 0, 0); }
    bool windowShowsSource() const {
        const SoftBitmap* picture = headlessWindowPicture();
        return picture && std::memcmp(picture->bits, source.bits,
                                      size_t(source.stride) * source.height) == 0;
    }
};

// The rows each kind of write put into screenSurface are the rows the window is asked
// to repaint (none when it wrote elsewhere); the same write into a window's source, then
// a copy, takes only the tracked path and the window shows exactly the source.
TEST(PaintCopy, WrittenRowsAreReportedAndCopiesStayExact) {
    WindowAndSource w(200, 120);
    ASSERT_EQ(createSurface(screenSurface, w.windowDc, 200, 120, 24), 1);
    struct Case {
        const char* what;
        void (*write)(Surface& target, Surface& other);
        int32_t top, bottom;
    } cases[] = {
        {"nothing", [](Surface&, Surface&) {}, 0, 0},
        {"another Surface", [](Surface&, Surface& o) { drawRect(o, 0, 0, 9, 9, 0x123456, RectFill); }, 0, 0},
        {"a pixel", [](Surface& t, Surface&) { putPixel(t, 5, 7, 0xFFFFFF); }, 7, 8},
        {"a frame cut at the bottom",
         [](Surface& t, Surface&) { drawRect(t, -5, 100, 50, 140, 0x00FF00, RectFrame); }, 100, 120},
        {"a copy", [](Surface& t, Surface& o) { copyRect(t, 0, 30, 10, 5, o, 0, 0, KeyOpaque); }, 30, 35},
        {"plain text",
         [](Surface& t, Surface&) { drawText(t, "12:34", 10, 40, 0xFFFFFF, TextPlain, 10, 20, 0, ""); },
         40, 60},
        {"smoothed text",
         [](Surface& t, Surface&) { drawText(t, roster[0].name, 10, -5, 0xFFFF00, TextSmoothed, 10, 20, 0, ""); },
         0, 15},
        {"fades",
         [](Surface& t, Surface& o) {
             fadeRect(t, 20, 90, 100, 20, o, 0, 0, 128);
             crossFadeRect(t, 0, 30, 200, 5, o, 0, 60, o, 0, 0, 77, KeyOpaque);
         },
         30, 110},
        {"two writes",
         [](Surface& t, Surface&) {
             putPixel(t, 1, 3, 0xFFFFFF);
             drawRect(t, 0, 50, 9, 60, 0x000000, RectFill);
         },
         3, 61},
    };
    softCheckPaintCopies(true);
    drawRect(w.source, 0, 0, 199, 119, 0x102030, RectFill);
    w.paint();
    EXPECT_TRUE(w.windowShowsSource());
    int32_t top, bottom;
    takeScreenRows(top, bottom);
    for (const Case& c : cases) {
        c.write(screenSurface, w.source);
        const bool any = takeScreenRows(top, bottom);
        EXPECT_EQ(any, c.top < c.bottom) << c.what;
        EXPECT_TRUE(!any || (top == c.top && bottom == c.bottom)) << c.what << " " << top << "-" << bottom;
        EXPECT_FALSE(takeScreenRows(top, bottom)) << c.what;   // handed over once
        c.write(w.source, screenSurface);
        w.paint();
        EXPECT_TRUE(w.windowShowsSource()) << c.what;
        takeScreenRows(top, bottom);
    }
    EXPECT_EQ(softPaintCopyCounters().whole, 1u);
    EXPECT_EQ(softPaintCopyCounters().tracked, std::size(cases));
    EXPECT_EQ(softPaintCopyCounters().misses, 0u);
    softCheckPaintCopies(false);
    releaseSurface(screenSurface);
}

TEST(PaintCopy, UnreportedWriteIsCaughtByTheCheckAndMissedWithout) {
    WindowAndSource w(64, 32);
    w.paint();
    w.source.bits[3] = 0x55;   // straight through the pointer, not reported
    w.paint();
    EXPECT_FALSE(w.windowShowsSource());   // the price of not reporting
    softCheckPaintCopies(true);
    w.source.bits[4] = 0x66;
    w.paint();
    EXPECT_EQ(softPaintCopyCounters().misses, 1u);
    EXPECT_TRUE(w.windowShowsSource());
    softCheckPaintCopies(false);
}

TEST(PaintCopy, OtherPlaceOrDrawingOnTheWindowComparesEverything) {
    WindowAndSource w(64, 32);
    for (int32_t x = 0; x < 64; ++x) drawRect(w.source, x, 0, x, 31, 0x030201u * uint32_t(x), RectFill);
    softCheckPaintCopies(true);
    w.paint();
    w.paint();
    // A copy of part of the source: another pairing, compared whole.
    platBitBlt(w.windowDc, 0, 0, 32, 32, w.source.hdc, 32, 0);
    EXPECT_EQ(softPaintCopyCounters().whole, 2u);
    EXPECT_FALSE(w.windowShowsSource());
    w.paint();
    EXPECT_EQ(softPaintCopyCounters().whole, 3u);
    EXPECT_TRUE(w.windowShowsSource());
    // Text written on the window's own picture.
    platTextOut(w.windowDc, 0, 0, "AB", 2);
    w.paint();
    EXPECT_EQ(softPaintCopyCounters().whole, 4u);
    EXPECT_TRUE(w.windowShowsSource());
    EXPECT_EQ(softPaintCopyCounters().misses, 0u);
    softCheckPaintCopies(false);
}

uint32_t xrgb(const uint8_t* bgr) {
    return uint32_t(bgr[0]) | uint32_t(bgr[1]) << 8 | uint32_t(bgr[2]) << 16;
}

// A bottom-up 24-bit picture as top-down 32-bit pixels, as the window surface holds it.
std::vector<uint8_t> asXrgb(const SoftBitmap& picture) {
    std::vector<uint32_t> pixels(size_t(picture.width) * picture.height);
    uint32_t* to = pixels.data();
    for (int32_t y = 0; y < picture.height; ++y) {
        const uint8_t* row = picture.bits + size_t(picture.height - 1 - y) * picture.stride;
        for (int32_t x = 0; x < picture.width; ++x) *to++ = xrgb(row + x * 3);
    }
    std::vector<uint8_t> bytes(pixels.size() * 4);
    std::memcpy(bytes.data(), pixels.data(), bytes.size());
    return bytes;
}

SoftBitmap bitmapOf(const Surface& surface) {
    return SoftBitmap{surface.bits, surface.width, surface.height, surface.stride};
}

TEST(HeldPicture, RowCopyWritesAndMarksExactlyTheDifferingTiles) {
    std::mt19937 random(11);
    for (int32_t trial = 0; trial < 300; ++trial) {
        const int32_t x = int32_t(random() % 100), width = 1 + int32_t(random() % 200);
        std::vector<uint8_t> row(size_t(width) * 3), want(size_t(width) * 4), shown;
        std::vector<uint8_t> expectedTiles(16, 0), tiles(16, 0);
        for (int32_t i = 0; i < width; ++i) {
            for (int c = 0; c < 3; ++c) row[size_t(i) * 3 + c] = uint8_t(random());
            const uint32_t v = xrgb(&row[size_t(i) * 3]);
            std::memcpy(&want[size_t(i) * 4], &v, 4);
        }
        shown = want;
        // A few pixels differ, some by one byte only.
        for (int32_t i = 0; i < width; ++i)
            if (random() % 40 == 0) {
                shown[size_t(i) * 4 + random() % 3] ^= uint8_t(1u << (random() % 8));
                expectedTiles[size_t((x + i) / PresentTileWidth)] = 1;
            }
        const bool anyExpected = shown != want;
        EXPECT_EQ(presentCopyRow(row.data(), x, width, shown.data(), tiles.data()), anyExpected);
        EXPECT_EQ(tiles, expectedTiles);
        ASSERT_EQ(shown, want) << trial;
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
        auto inside = [&rects](int32_t n, int32_t x, int32_t y) {
            for (int32_t i = 0; i < n; ++i)
                if (x >= rects[i].x && x < rects[i].x + rects[i].width && y >= rects[i].y &&
                    y < rects[i].y + rects[i].height)
                    return true;
            return false;
        };
        const int32_t n = presentTileRects(tiles.data(), columns, 0, bands, width, height, rects, 64);
        EXPECT_EQ(tiles, std::vector<uint8_t>(tiles.size(), 0));
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                ASSERT_EQ(inside(n, x, y),
                          marked[size_t(y / PresentTileRows) * columns + size_t(x / PresentTileWidth)] != 0)
                    << trial << " " << x << "," << y;
        // With room for only two rectangles every mark is still covered.
        tiles = marked;
        const int32_t few = presentTileRects(tiles.data(), columns, 0, bands, width, height, rects, 2);
        EXPECT_LE(few, 2);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                ASSERT_TRUE(inside(few, x, y) ||
                            !marked[size_t(y / PresentTileRows) * columns + size_t(x / PresentTileWidth)])
                    << trial;
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
        tiles.assign(size_t(columns) * bands, 0);
        surface = asXrgb(window->backing.bitmap);   // starts as what the window showed
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
        for (int32_t y = 0; y < height && same; ++y) {
            // A whole row at a time, without a branch per byte.
            const uint8_t* row = bitmap.bits + size_t(height - 1 - y) * bitmap.stride;
            const uint8_t* shown = &surface[size_t(y) * width * 4];
            uint32_t differ = 0;
            for (int32_t x = 0; x < width; ++x)
                differ |= uint32_t(shown[x * 4] ^ row[x * 3]) |
                          uint32_t(shown[x * 4 + 1] ^ row[x * 3 + 1]) |
                          uint32_t(shown[x * 4 + 2] ^ row[x * 3 + 2]) | shown[x * 4 + 3];
            same = differ == 0;
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

// The whole meeting, both layouts, with the window's picture kept as a backing or held
// in a window surface from its first paint on: after every paint the window shows
// screenSurface, and (kept) no row outside the reported ones ever differed.
void runMeeting(const std::vector<uint8_t>& settings, bool holding) {
    HeldSurface surface;
    held = holding ? &surface : nullptr;
    ProgramRun run;
    run.writeData("Setup.ini", settings);
    run.begin();
    softCheckPaintCopies(true);
    struct Seen {
        uint32_t paints = 0, differing = 0, boardFrames = 0;
    } seen;
    headlessSetFrameSink(
        [](const SoftBitmap& picture, void* user) {
            Seen& s = *static_cast<Seen*>(user);
            if (held) {
                SoftWindow* window = softMainWindow();
                if (!window) return;
                if (!window->rowCopy) return held->take(window);
                held->present();
                held->check(bitmapOf(screenSurface));
                return;
            }
            ++s.paints;
            if (picture.width != screenSurface.width || picture.height != screenSurface.height ||
                std::memcmp(picture.bits, screenSurface.bits,
                            size_t(picture.stride) * picture.height) != 0)
                ++s.differing;
        },
        &seen);
    headlessSetSleepHook(
        [](void* user) {
            Seen& s = *static_cast<Seen*>(user);
            // A few seconds of the board's wait are enough.
            if (scene == SceneBoard && step == 3 && ++s.boardFrames % 3000 == 0)
                readClock(nextRaceTime);
            if (raceCount == (held ? 1 : 2) && scene == SceneBoard && step == 3) platPostQuitMessage(0);
        },
        &seen);
    run.run("/s");
    headlessSetFrameSink(nullptr, nullptr);
    headlessSetSleepHook(nullptr, nullptr);
    const SoftPaintCopyCounters counters = softPaintCopyCounters();
    softCheckPaintCopies(false);
    held = nullptr;
    EXPECT_GT(seen.paints + surface.paints, 1000u);
    EXPECT_EQ(seen.differing + surface.differing, 0u);
    EXPECT_EQ(surface.unsent, 0u);
    EXPECT_EQ(counters.misses, 0u);
    if (holding) return;
    EXPECT_EQ(counters.overreach, 0u) << "paints copy exactly the invalid rectangle";
    EXPECT_GT(counters.tracked, counters.whole * 10);
}

TEST(PaintCopy, WholeMeetingWideLayout) { runMeeting({2, 2, 0, 0, 1, 0}, false); }
TEST(PaintCopy, WholeMeetingNarrowLayoutSmoothed) { runMeeting({2, 1, 0, 0, 0, 1}, false); }
TEST(HeldPicture, WholeMeetingWideLayout) { runMeeting({2, 2, 0, 0, 1, 0}, true); }
TEST(HeldPicture, WholeMeetingNarrowLayout) { runMeeting({2, 1, 0, 0, 0, 1}, true); }

// Giving the picture back: a black backing, and the next paint compares every row.
TEST(HeldPicture, KeepingThePictureAgainRepaintsIt) {
    WindowAndSource w(64, 40);
    SoftWindow* window = softWindow(w.window);
    ASSERT_NE(window, nullptr);
    drawRect(w.source, 0, 0, 63, 39, 0x336699, RectFill);
    HeldSurface surface;
    held = &surface;
    surface.take(window);
    EXPECT_EQ(window->backing.bitmap.bits, nullptr);
    w.paint();
    surface.check(bitmapOf(w.source), true);
    EXPECT_EQ(surface.differing, 0u);
    held = nullptr;

    ASSERT_TRUE(softKeepPicture(window));
    EXPECT_EQ(window->rowCopy, nullptr);
    ASSERT_NE(window->backing.bitmap.bits, nullptr);
    EXPECT_EQ(window->backing.bitmap.bits[0], 0);
    EXPECT_TRUE(window->invalid);
    const uint32_t wholeBefore = softPaintCopyCounters().whole;
    w.paint();
    EXPECT_EQ(softPaintCopyCounters().whole, wholeBefore + 1);
    EXPECT_TRUE(w.windowShowsSource());
}

}  // namespace
