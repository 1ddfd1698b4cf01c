// Copies into a window look only at the rows written into their source since the last
// copy, so every writer must report its rows; the checking mode catches one that does not.
// A window picture may instead be held in a 32-bit window surface: copies write the rows
// that differ there, marking tiles, and presents send the marked tiles.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <utility>
#include <random>
#include <vector>

#include "gfx/present.h"
#include "gfx/text.h"
#include "platform/headless/headless.h"
#include "platform/soft/present_diff.h"
#include "support/program_run.h"
#include "race/board.h"
#include "race/roster.h"
#include "race/scenes.h"

namespace {

struct WindowAndSource {
    WindowHandle window = nullptr;
    DcHandle windowDc = nullptr;
    Surface source{};

    WindowAndSource(int32_t width, int32_t height) {
        headlessReset(testConfig());
        platRegisterClass("PaintCopyTest", [](WindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp) {
            return platDefWindowProc(w, m, wp, lp);
        }, 0);
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
        return picture && std::memcmp(picture->bits, source.bits, size_t(source.stride) * source.height) == 0;
    }
};

// The rows each kind of write put into screenSurface are the rows the window is asked
// to repaint (none when it wrote elsewhere); the same write into a window's source, then
// a copy, takes only the tracked path and the window shows exactly the source.
TEST(PaintCopy, WrittenRowsAreReportedAndCopiesStayExact) {
    WindowAndSource w(200, 120);
    ASSERT_EQ(createSurface(screenSurface, w.windowDc, 200, 120, 24), 1);
    using S = Surface&;
    const struct {
        const char* what;
        void (*write)(Surface& target, Surface& other);
        int32_t top, bottom;
    } cases[] = {
        {"another Surface", [](S, S o) { drawRect(o, 0, 0, 9, 9, 0x123456, RectFill); }, 0, 0},
        {"a pixel", [](S t, S) { putPixel(t, 5, 7, 0xFFFFFF); }, 7, 8},
        {"a frame cut at the bottom", [](S t, S) { drawRect(t, -5, 100, 50, 140, 0x00FF00, RectFrame); }, 100, 120},
        {"a copy", [](S t, S o) { copyRect(t, 0, 30, 10, 5, o, 0, 0, KeyOpaque); }, 30, 35},
        {"plain text", [](S t, S) { drawText(t, "12:34", 10, 40, 0xFFFFFF, TextPlain, 10, 20, 0, ""); }, 40, 60},
        {"smoothed text", [](S t, S) { drawText(t, roster[0].name, 10, -5, 0xFFFF00, TextSmoothed, 10, 20, 0, ""); },
         0, 15},
        {"fades", [](S t, S o) { fadeRect(t, 20, 90, 100, 20, o, 0, 0, 128); }, 90, 110},
        {"mixes", [](S t, S o) { crossFadeRect(t, 0, 30, 200, 5, o, 0, 60, o, 0, 0, 77, KeyOpaque); }, 30, 35},
        {"two writes", [](S t, S) { putPixel(t, 1, 3, 0xFFFFFF), drawRect(t, 0, 50, 9, 60, 0, RectFill); }, 3, 61},
    };
    softCheckPaintCopies(true);
    drawRect(w.source, 0, 0, 199, 119, 0x102030, RectFill);
    w.paint();
    EXPECT_TRUE(w.windowShowsSource());
    int32_t top, bottom;
    takeScreenRows(top, bottom);
    for (const auto& c : cases) {
        c.write(screenSurface, w.source);
        EXPECT_EQ(takeScreenRows(top, bottom) ? std::pair(top, bottom) : std::pair(0, 0), std::pair(c.top, c.bottom))
            << c.what;
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

// Without the check an unreported write is missed; with it, it is caught, and copies from
// elsewhere in the source or after drawing on the window itself compare everything.
TEST(PaintCopy, CheckCatchesUnreportedWritesAndOtherCopiesCompareEverything) {
    WindowAndSource w(64, 32);
    for (int32_t x = 0; x < 64; ++x) drawRect(w.source, x, 0, x, 31, 0x030201u * uint32_t(x), RectFill);
    w.paint();
    w.source.bits[3] = 0x55;   // straight through the pointer, not reported
    w.paint();
    EXPECT_FALSE(w.windowShowsSource());
    softCheckPaintCopies(true);
    w.source.bits[4] = 0x66;
    w.paint();
    EXPECT_EQ(softPaintCopyCounters().misses, 1u);
    EXPECT_TRUE(w.windowShowsSource());
    platBitBlt(w.windowDc, 0, 0, 32, 32, w.source.hdc, 32, 0);   // another pairing
    EXPECT_FALSE(w.windowShowsSource());
    w.paint();
    EXPECT_TRUE(w.windowShowsSource());
    platTextOut(w.windowDc, 0, 0, "AB", 2);   // drawn on the window's own picture
    w.paint();
    EXPECT_TRUE(w.windowShowsSource());
    EXPECT_EQ(softPaintCopyCounters().whole, 3u);
    EXPECT_EQ(softPaintCopyCounters().misses, 1u);
    softCheckPaintCopies(false);
}

// Rows of random pixels, a few differing by one bit in a 32-bit copy: exactly the tiles
// holding a difference are marked and written; a second copy finds nothing.
TEST(HeldPicture, RowCopyWritesAndMarksExactlyTheDifferingTiles) {
    std::mt19937 random(11);
    for (int32_t trial = 0; trial < 300; ++trial) {
        const int32_t x = int32_t(random() % 100), width = 1 + int32_t(random() % 200);
        std::vector<uint8_t> row(size_t(width) * 3), expectedTiles(16, 0), tiles(16, 0);
        for (uint8_t& b : row) b = uint8_t(random());
        std::vector<uint8_t> want(size_t(width) * 4, 0);   // the row as the surface's 32-bit pixels
        for (int32_t i = 0; i < width; ++i) std::memcpy(&want[size_t(i) * 4], &row[size_t(i) * 3], 3);
        std::vector<uint8_t> shown = want;
        for (int32_t i = 0; i < width; ++i)
            if (random() % 40 == 0) {
                shown[size_t(i) * 4 + random() % 3] ^= uint8_t(1u << (random() % 8));
                expectedTiles[size_t((x + i) / PresentTileWidth)] = 1;
            }
        EXPECT_EQ(presentCopyRow(row.data(), x, width, shown.data(), tiles.data()), shown != want);
        EXPECT_EQ(tiles, expectedTiles);
        ASSERT_EQ(shown, want) << trial;
        EXPECT_FALSE(presentCopyRow(row.data(), x, width, shown.data(), tiles.data()));
    }
}

// The whole meeting in both layouts: after every paint the window shows screenSurface,
// no row outside the reported ones ever differed, and paints copy exactly the invalid
// rectangle, nearly always through the tracked rows.
void runMeeting(const std::vector<uint8_t>& settings) {
    struct Seen {
        uint32_t paints = 0, differing = 0;
    } seen;
    ProgramRun run;
    run.writeData("Setup.ini", settings);
    run.begin();
    softCheckPaintCopies(true);
    headlessSetFrameSink(
        [](const SoftBitmap& picture, void* user) {
            Seen& s = *static_cast<Seen*>(user);
            ++s.paints;
            s.differing += picture.width != screenSurface.width || picture.height != screenSurface.height ||
                           std::memcmp(picture.bits, screenSurface.bits, size_t(picture.stride) * picture.height) != 0;
        },
        &seen);
    headlessSetSleepHook(
        [](void*) {
            // These runs take under eight virtual minutes; a scene that never ends fails.
            const bool done = raceCount == 2 && scene == SceneBoard && step == BoardWaitStart;
            if (done || headlessElapsed() > 900000) platPostQuitMessage(0);
        },
        nullptr);
    run.run("/s");
    headlessSetFrameSink(nullptr, nullptr);
    headlessSetSleepHook(nullptr, nullptr);
    const SoftPaintCopyCounters counters = softPaintCopyCounters();
    softCheckPaintCopies(false);
    EXPECT_EQ(raceCount, 2);
    EXPECT_GT(seen.paints, 1000u);
    EXPECT_EQ(seen.differing, 0u);
    EXPECT_EQ(counters.misses, 0u);
    EXPECT_EQ(counters.overreach, 0u) << "paints copy exactly the invalid rectangle";
    EXPECT_GT(counters.tracked, counters.whole * 10);
}

TEST(PaintCopy, WholeMeetingWideLayout) { runMeeting({2, 2, 0, 0, 1, 0}); }
TEST(PaintCopy, WholeMeetingNarrowLayoutSmoothed) { runMeeting({2, 1, 0, 0, 0, 1}); }

// Taking the picture over and giving it back: the first paint after either compares
// every row, a later one only the written rows, none of which counts as missed when the
// held picture already shows it; a picture kept again starts black.
TEST(HeldPicture, TakingOverAndKeepingThePictureRepaintIt) {
    WindowAndSource w(64, 40);
    SoftWindow* window = softWindow(w.window);
    ASSERT_NE(window, nullptr);
    drawRect(w.source, 0, 0, 63, 39, 0x336699, RectFill);
    softCheckPaintCopies(true);
    w.paint();
    softTakeOverPicture(window, [](SoftWindow*, int32_t, int32_t, const uint8_t*, int32_t) { return false; });
    EXPECT_EQ(window->backing.bitmap.bits, nullptr);
    w.paint();
    w.paint();
    EXPECT_EQ(softPaintCopyCounters().whole, 2u);
    EXPECT_EQ(softPaintCopyCounters().misses, 0u);
    ASSERT_TRUE(softKeepPicture(window));
    ASSERT_TRUE(window->rowCopy == nullptr && window->backing.bitmap.bits != nullptr && window->invalid);
    EXPECT_EQ(window->backing.bitmap.bits[0], 0);
    w.paint();
    EXPECT_EQ(softPaintCopyCounters().whole, 3u);
    EXPECT_TRUE(w.windowShowsSource());
    softCheckPaintCopies(false);
}

}  // namespace
