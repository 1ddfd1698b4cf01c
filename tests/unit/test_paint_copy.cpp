// Copies into a window look only at the rows written into their source since the last
// copy. The window must still always show exactly what was copied: every writer reports
// its rows, and a writer that did not would be caught by the checking mode.
#include <gtest/gtest.h>

#include <cstring>

#include "gfx/present.h"
#include "gfx/text.h"
#include "platform/headless/headless.h"
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

// The rows a frame wrote into screenSurface are the rows the window is asked to repaint;
// a frame that wrote nothing there passes none.
TEST(PaintCopy, RowsWrittenIntoTheScreenAreTheRowsToRepaint) {
    WindowAndSource w(200, 120);
    ASSERT_EQ(createSurface(screenSurface, w.windowDc, 200, 120, 24), 1);
    struct Case {
        const char* what;
        void (*write)(Surface& other);
        int32_t top, bottom;
    } cases[] = {
        {"nothing", [](Surface&) {}, 0, 0},
        {"another Surface", [](Surface& o) { drawRect(o, 0, 0, 9, 9, 0x123456, RectFill); }, 0, 0},
        {"a pixel", [](Surface&) { putPixel(screenSurface, 5, 7, 0xFFFFFF); }, 7, 8},
        {"a frame cut at the bottom",
         [](Surface&) { drawRect(screenSurface, -5, 100, 50, 140, 0x00FF00, RectFrame); }, 100, 120},
        {"a copy", [](Surface& o) { copyRect(screenSurface, 0, 30, 10, 5, o, 0, 0, KeyOpaque); }, 30, 35},
        {"plain text",
         [](Surface&) { drawText(screenSurface, "12", 10, 40, 0xFFFFFF, TextPlain, 10, 20, 0, ""); }, 40, 60},
        {"smoothed text",
         [](Surface&) { drawText(screenSurface, "12", 10, -5, 0xFFFFFF, TextSmoothed, 10, 20, 0, ""); }, 0, 15},
        {"two writes",
         [](Surface&) {
             putPixel(screenSurface, 1, 3, 0xFFFFFF);
             drawRect(screenSurface, 0, 50, 9, 60, 0x000000, RectFill);
         },
         3, 61},
    };
    int32_t top, bottom;
    takeScreenRows(top, bottom);
    for (const Case& c : cases) {
        c.write(w.source);
        const bool any = takeScreenRows(top, bottom);
        EXPECT_EQ(any, c.top < c.bottom) << c.what;
        if (any) {
            EXPECT_EQ(top, c.top) << c.what;
            EXPECT_EQ(bottom, c.bottom) << c.what;
        }
        EXPECT_FALSE(takeScreenRows(top, bottom)) << c.what;   // handed over once
    }
    releaseSurface(screenSurface);
}

TEST(PaintCopy, RepeatedCopiesLookOnlyAtWrittenRowsAndStayExact) {
    WindowAndSource w(200, 120);
    softCheckPaintCopies(true);
    drawRect(w.source, 0, 0, 199, 119, 0x102030, RectFill);
    w.paint();
    EXPECT_EQ(softPaintCopyCounters().whole, 1u);
    EXPECT_TRUE(w.windowShowsSource());

    // Each kind of write, then a copy: only the tracked path, never a miss.
    putPixel(w.source, 5, 7, 0xFFFFFF);
    w.paint();
    EXPECT_TRUE(w.windowShowsSource());
    drawRect(w.source, -5, 100, 50, 140, 0x00FF00, RectFrame);
    w.paint();
    EXPECT_TRUE(w.windowShowsSource());
    drawText(w.source, "12:34:56", 10, 40, 0xFFFFFF, TextPlain, 10, 20, 0, "");
    w.paint();
    EXPECT_TRUE(w.windowShowsSource());
    drawText(w.source, roster[0].name, 0, 60, 0xFFFF00, TextSmoothed, 10, 40, 0, "");
    w.paint();
    EXPECT_TRUE(w.windowShowsSource());
    copyRect(w.source, 0, 0, 200, 10, w.source, 0, 50, KeyOpaque);
    fadeRect(w.source, 20, 90, 100, 20, w.source, 0, 0, 128);
    crossFadeRect(w.source, 0, 30, 200, 5, w.source, 0, 60, w.source, 0, 0, 77, KeyOpaque);
    w.paint();
    EXPECT_TRUE(w.windowShowsSource());
    // Nothing written: nothing compared, nothing reported.
    w.paint();
    EXPECT_EQ(softPaintCopyCounters().whole, 1u);
    EXPECT_EQ(softPaintCopyCounters().tracked, 6u);
    EXPECT_EQ(softPaintCopyCounters().misses, 0u);
    softCheckPaintCopies(false);
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

// The whole meeting, both layouts: after every paint the window shows screenSurface,
// and no row outside the reported ones ever differed.
void runMeetingChecked(const std::vector<uint8_t>& settings) {
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
            if (raceCount == 2 && scene == SceneBoard && step == 3) platPostQuitMessage(0);
        },
        &seen);
    run.run("/s");
    headlessSetFrameSink(nullptr, nullptr);
    headlessSetSleepHook(nullptr, nullptr);
    const SoftPaintCopyCounters counters = softPaintCopyCounters();
    softCheckPaintCopies(false);
    EXPECT_GT(seen.paints, 1000u);
    EXPECT_EQ(seen.differing, 0u);
    EXPECT_EQ(counters.misses, 0u);
    EXPECT_EQ(counters.overreach, 0u) << "paints copy exactly the invalid rectangle";
    EXPECT_GT(counters.tracked, counters.whole * 10);
}

TEST(PaintCopy, WholeMeetingWideLayout) { runMeetingChecked({2, 2, 0, 0, 1, 0}); }
TEST(PaintCopy, WholeMeetingNarrowLayoutSmoothed) { runMeetingChecked({2, 1, 0, 0, 0, 1}); }

}  // namespace
