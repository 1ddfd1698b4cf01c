// A small software window system shared by the sdl and headless backends: device
// contexts, bitmap sections, the program's embedded bitmaps, BitBlt, windows with a
// message queue that keeps the Win32 numbers and ordering, and POSIX files.
//
// The backend supplies time, input, presentation and everything OS-specific through
// the hooks at the end of this header.
#pragma once
#include <cstdint>
#include <ctime>

#include "platform/platform.h"

// A 24-bit bottom-up pixel block.
struct SoftBitmap {
    uint8_t* bits;
    int32_t width;
    int32_t height;
    int32_t stride;
};

enum SoftObjectKind : int32_t { SoftNone = 0, SoftBitmapObject = 1, SoftFontObject = 2 };

struct SoftWindow;

struct SoftObject {
    SoftObjectKind kind;
    SoftBitmap bitmap;    // SoftBitmapObject
    FontRequest font;     // SoftFontObject
    bool stock;           // never freed
    // A bitmap last copied into a window: the rows written since (top-down, bottom
    // exclusive; empty when equal) are the only ones that can differ from that copy.
    SoftWindow* pairedWindow;
    int32_t writtenTop, writtenBottom;
};

struct SoftDc {
    SoftObject* bitmap;
    SoftObject* font;
    uint32_t textColor;   // COLORREF: red in the low byte
    int32_t bkMode;
    WindowHandle window;  // set for a window's own device context
};

// Writes a row of width 24-bit pixels, copied into the window at (x, y), into a picture
// the backend keeps, where it differs; returns whether anything differed.
using SoftRowCopy = bool (*)(SoftWindow* window, int32_t x, int32_t y, const uint8_t* row,
                             int32_t width);

struct SoftWindow {
    bool used;
    bool destroyed;
    bool visible;
    bool invalid;
    WindowProc proc;
    char className[32];
    char caption[128];            // as given, Shift-JIS; the backend shows it as the title
    uint32_t style;
    int32_t x, y, width, height;  // client area in desktop coordinates
    WindowHandle parent;
    int32_t id;
    SoftObject backing;           // what the window shows
    SoftDc dc;
    void* backendData;
    // The bitmap last copied into the picture and where: while the pairing holds (the
    // bitmap points back here), the picture differs from it only in the rows written
    // into the bitmap since.
    SoftObject* pairedSource;
    PlatRect pairedArea;          // left, top, width, height of the copy
    int32_t pairedSrcX, pairedSrcY;
    // Set while the backend keeps the picture itself (backing.bitmap.bits is then null).
    SoftRowCopy rowCopy;
};

SoftWindow* softWindow(WindowHandle window);
inline WindowHandle softHandle(SoftWindow* window) {
    return reinterpret_cast<WindowHandle>(window);
}
// The top-level window the program made, or nullptr.
SoftWindow* softMainWindow();
// Child windows of a given parent, for the backend to draw and click (push buttons).
SoftWindow* softChildAt(SoftWindow* parent, int32_t x, int32_t y);
SoftWindow* softChild(SoftWindow* parent, int32_t index);

// A backend may keep a top-level window's picture itself, in its own pixel format, to
// save holding it twice: the backing bitmap is freed and every row a copy into the window
// brings goes to copyRow. Only copies reach such a picture (text or bits written on the
// window's own device context are not shown; the program draws only copies into its
// windows). The backend's picture must start as what the window showed (black for a
// new window), or be followed by softRepaintWhole.
void softTakeOverPicture(SoftWindow* window, SoftRowCopy copyRow);
// Gives a taken-over picture back: a new backing bitmap, black, then a whole repaint.
// False when there is no memory for it.
bool softKeepPicture(SoftWindow* window);
// What the window showed is lost: its next copy compares every row, and it is asked to
// paint.
void softRepaintWhole(SoftWindow* window);

// Queues a message as input or PostMessage would. False when the queue is full.
bool softPostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// A message or the quit message is waiting (a pending repaint does not count).
bool softMessageWaiting();
// Forgets every window, message and object: a fresh program run in the same process.
void softReset();

// Parses a 24-bit uncompressed BMP file; false for anything else or a short file.
bool softDecodeBmp(const uint8_t* data, uint64_t size, SoftBitmap& out);

// Turns the text output's glyph cache on or off (it is on from the start) and empties
// it; drawing is the same either way, only faster with it.
void softSetGlyphCache(bool enabled);
// Forgets the loaded font and its glyphs: the next text takes backendFontFile() anew.
void softReloadFont();

// With checking on, every copy into a window that looks only at the rows written since
// the last copy also compares the other rows, counting those that differed (a writer
// that did not report its rows) and copying them. For tests.
void softCheckPaintCopies(bool enabled);
struct SoftPaintCopyCounters {
    uint32_t whole;      // copies that compared every row
    uint32_t tracked;    // copies that compared only the written rows
    uint32_t misses;     // rows found different outside the written ones (checking only)
    uint32_t overreach;  // copies asked for more than the window or the source holds
    uint32_t rowRepaints;   // repaint requests that named some rows
};
const SoftPaintCopyCounters& softPaintCopyCounters();

// The last save platReplaceFile refused or could not finish, as "path: reason" (the
// native path); empty when the last save succeeded. The sdl entry reports it.
const char* softSaveFailure();

// The program's local time from a broken-down calendar time and its milliseconds.
LocalTime softLocalTime(const std::tm& t, int32_t milliseconds);

// Translates the program's backslash paths.
void softNativePath(const char* path, char* out, uint32_t size);

// ---- Hooks each backend defines ---------------------------------------------------
// Pulls waiting OS events (or scripted ones) into the queue.
void backendPumpEvents();
// Waits a little for events when GetMessage finds nothing.
void backendWaitEvents();
// Waits until an OS event (or input) arrives or timeoutMs milliseconds have passed.
void backendWaitMessage(uint32_t timeoutMs);
void backendWindowCreated(SoftWindow* window);
void backendWindowShown(SoftWindow* window, int showCommand);
void backendWindowDestroyed(SoftWindow* window);
// A copy into the window's picture just changed area (right/bottom exclusive; empty
// when the copy changed nothing).
void backendWindowChanged(SoftWindow* window, const PlatRect& area);
// A paint message has been served.
void backendPaintDone(SoftWindow* window);
// Draws text with the font selected in dc into its bitmap.
int backendTextOut(SoftDc* dc, int x, int y, const char* text, int length);
// The font file text is drawn with (a Japanese gothic face); nullptr when none.
const char* backendFontFile();
