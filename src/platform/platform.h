// The only door from the game to the operating system.
//
// Everything above this header compiles unchanged for every backend (win32, sdl,
// headless); the backend is chosen when linking. The calls are at the level the
// program thinks in: a GDI-like set of device contexts and bitmaps, a window with a
// message queue that keeps the Win32 message numbers and lParam packing, files,
// time, the instance marker, display modes, the MIDI stream service and the wave
// player. Handles are opaque pointers owned by the backend.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Handles -------------------------------------------------------------------
struct PlatWindowTag;
struct PlatDcTag;
struct PlatObjectTag;   // bitmap or font selected into a device context
struct PlatFileTag;
struct PlatMarkerTag;
struct PlatMidiTag;

typedef PlatWindowTag* WindowHandle;
typedef PlatDcTag* DcHandle;
typedef PlatObjectTag* ObjectHandle;
typedef PlatFileTag* FileHandle;
typedef PlatMarkerTag* MarkerHandle;
typedef PlatMidiTag* MidiStreamHandle;

// ---- Program entry --------------------------------------------------------------
// The game's entry point; each backend's real entry (WinMain, main) calls it with the
// command-line text after the program name and the show command.
int pellrunMain(const char* commandLine, int showCommand);
// The same program a pass at a time, for a backend whose own event loop must not be
// blocked (the browser's): pellrunMain is these three with the waits in between.
// pellrunBegin starts the mode the command line chooses and returns false when nothing
// runs. pellrunPass serves waiting messages and runs at most one frame, then returns how
// the loop waits before the next pass: PellrunWaitMessage for *waitMs (0: no wait) or
// until input arrives, PellrunSleep for *waitMs, or PellrunEnded. look is false when the
// last wait for a message found the queue empty (then it need not be looked at). The
// loop may then call pellrunEnd, which shuts down and returns the exit code.
enum : int32_t { PellrunEnded = 0, PellrunWaitMessage = 1, PellrunSleep = 2 };
bool pellrunBegin(const char* commandLine, int showCommand);
int32_t pellrunPass(bool look, uint32_t* waitMs);
int pellrunEnd();
// Called between frames: the line of the race that has just ended, one JSON object and
// a newline as pellrun-sim --json prints it, or nullptr. The web edition keeps them.
const char* pellrunRaceLine();

// ---- Time -------------------------------------------------------------------------
struct LocalTime {
    int32_t year;
    int32_t month;      // 1..12
    int32_t dayOfWeek;  // 0 = Sunday
    int32_t day;        // 1..31
    int32_t hour;
    int32_t minute;
    int32_t second;
    int32_t milliseconds;
};

uint32_t platTickCount();                 // milliseconds, wraps at 2^32
void platSleep(uint32_t milliseconds);
void platLocalTime(LocalTime& time);
int64_t platCalendarSeconds();            // seconds since 1970, the random seed

// ---- Files and directories -------------------------------------------------------
// Paths use the program's own form: backslash separators, as the Windows edition
// sees them. Backends that use slashes translate; doubled separators are accepted.
// FileReadData opens a song or effect for reading only.
enum { FileOpenExisting = 0, FileCreateAlways = 1, FileReadData = 2 };
// No real song or effect comes near this size: FileReadData refuses a larger file.
enum : uint32_t { DataFileLimit = 16u << 20 };
// Current directory without a trailing separator (a drive root keeps its one).
// Returns the length written, 0 on failure; the text is always NUL-terminated.
uint32_t platCurrentDirectory(char* buffer, uint32_t size);
// The data folder (songs and effects) in the program's path form, ending in a backslash.
// Returns the length written, 0 when there is no usable folder: then nothing is played
// and no settings file is read or written. The text is always NUL-terminated.
uint32_t platDataFolder(char* buffer, uint32_t size);
// Where Setup.ini is read and written, given the data folder platDataFolder chose.
// forWrite makes the folders the file needs. Returns the length written, 0 for none.
uint32_t platSettingsFile(const char* dataFolder, char* buffer, uint32_t size, bool forWrite);
// Settings chosen for this run only (a screen-saver host passes the user's choices as
// options); they win over the settings file while the saver runs and are not saved.
// Each value is as the settings file holds it, or -1 when not given.
struct RunSettings {
    int32_t speed, interval, music, antiAlias;
};
void platRunSettings(RunSettings& settings);
// Opens a regular file only: anything else (a pipe, a device, a folder, a socket) is
// refused at once, without waiting for a peer; with FileReadData so is a file larger
// than DataFileLimit, before anything is read. nullptr on failure.
FileHandle platFileOpen(const char* path, int mode);
// Moves the file pointer; returns the new position, or -1 on failure.
int64_t platFileSeek(FileHandle file, int64_t position, bool fromEnd);
int platFileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* done);
int platFileWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* done);
uint32_t platFileSize(FileHandle file);
int platFileClose(FileHandle file);
// Replaces the whole file at path with count bytes, so that the old file stays whole
// until the new one is complete: the bytes go to a new file in the same folder, are
// flushed to the disk and then moved over the old one. A path that names a link or
// anything but a regular file, or a file the user may not write, is refused. Returns 1
// when the new bytes are in place; on failure the old file is as it was.
int platReplaceFile(const char* path, const void* bytes, uint32_t count);

// ---- Single-instance marker --------------------------------------------------------
// Creates (or opens) the named marker; *alreadyExists reports that another process
// holds it. nullptr only when no marker could be made at all.
MarkerHandle platCreateMarker(const char* name, bool* alreadyExists);
void platReleaseMarker(MarkerHandle marker);

// ---- Messages and windows ------------------------------------------------------------
enum : uint32_t {
    WmDestroy = 0x0002,
    WmKillFocus = 0x0008,
    WmPaint = 0x000F,
    WmClose = 0x0010,
    WmQuit = 0x0012,
    WmKeyDown = 0x0100,
    WmSysKeyDown = 0x0104,
    WmCommand = 0x0111,
    WmTimer = 0x0113,
    WmMouseMove = 0x0200,
    WmLButtonDown = 0x0201,
    WmRButtonDown = 0x0204,
    WmMouseWheel = 0x020A,
    WmMouseHWheel = 0x020E,
};

enum : uint32_t {
    WsPopup = 0x80000000u,
    WsChild = 0x40000000u,
    WsVisible = 0x10000000u,
    WsCaption = 0x00C00000u,
    WsSysMenu = 0x00080000u,
    WsMinimizeBox = 0x00020000u,
};

struct PlatMessage {
    WindowHandle window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

typedef intptr_t (*WindowProc)(WindowHandle window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam);

struct PlatRect {
    int32_t left, top, right, bottom;
};

// PeekMessage with PM_NOREMOVE over every window: true when a message is waiting.
bool platPeekMessage();
// Waits until input or a posted message is waiting, or until timeoutMs milliseconds
// have passed; it may also return early. A pending repaint does not end the wait: the
// loop serves it after the wait, just before the next frame. False only when the time
// passed and the queue surely holds nothing, not even a repaint: then the loop need
// not look.
bool platWaitMessage(uint32_t timeoutMs);
// GetMessage: 1 for a message, 0 for the quit message, -1 on error.
int platGetMessage(PlatMessage& message);
void platTranslateMessage(const PlatMessage& message);
intptr_t platDispatchMessage(const PlatMessage& message);
void platPostQuitMessage(int exitCode);
intptr_t platDefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam);

// Registers a window class; iconId 0 means no icon.
int platRegisterClass(const char* className, WindowProc proc, int iconId);
// AdjustWindowRectEx with no menu and extended style 0.
int platAdjustWindowRect(PlatRect& rect, uint32_t style);
// CreateWindowExA with extended style 0. parent is null for a top-level window; id is
// the child control id. className "BUTTON" makes a push button. A top-level popup that
// fills its monitor is full screen: the backend may fill the other monitors too (win32:
// black windows that go with it); input there reaches this window's procedure, positions
// in its client coordinates (negative left of it and above it).
WindowHandle platCreateWindow(const char* className, const char* caption, uint32_t style,
                              int x, int y, int width, int height, WindowHandle parent,
                              int id);
void platShowWindow(WindowHandle window, int showCommand);
void platDestroyWindow(WindowHandle window);
// InvalidateRect of the whole client area without erasing.
void platInvalidate(WindowHandle window);
// IsWindow: the handle names a window that exists now (of any process).
bool platIsWindow(WindowHandle window);
// The size of the window's client area; false when there is none to measure.
bool platClientSize(WindowHandle window, int& width, int& height);
// SetTimer: a WmTimer message with wParam id every period milliseconds; 0 on failure.
int platSetTimer(WindowHandle window, uintptr_t id, uint32_t period);
// InvalidateRect of client rows top..bottom-1 across the whole width, without erasing;
// no rows (top >= bottom) is a frame that changed nothing. A backend that finds out
// itself what changed may repaint more.
void platInvalidateRows(WindowHandle window, int top, int bottom);
// ShowCursor: returns the new display counter.
int platShowCursor(bool show);
// The right and bottom coordinates of the desktop window's rectangle.
void platDesktopSize(int& width, int& height);

// ---- Display modes ----------------------------------------------------------------------
struct DisplayMode {
    uint32_t bitsPerPel;
    uint32_t width;
    uint32_t height;
    uint32_t frequency;
};
enum { DispChangeSuccessful = 0, DispChangeRestart = 1, DispChangeFailed = -1 };
// The primary screen now: depth, size and vertical refresh rate.
void platScreenInfo(int& depth, int& width, int& height, int& refresh);
bool platEnumDisplayMode(uint32_t index, DisplayMode& mode);
// ChangeDisplaySettings with the width, height and frequency of mode; test only when
// asked. Returns the DISP_CHANGE value. A null mode restores the registry mode.
int platChangeDisplay(const DisplayMode* mode, bool testOnly);

// ---- Device contexts, bitmaps, fonts ----------------------------------------------------
// The pixel format is fixed: 24 bits, blue-green-red, rows padded to 4 bytes, stored
// bottom-up. The header mirrors BITMAPINFOHEADER.
struct BitmapInfoHeader {
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;
    uint32_t clrImportant;
};
struct BitmapInfo {
    BitmapInfoHeader header;
    uint32_t colours[1];
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER layout");

DcHandle platGetDC(WindowHandle window);       // the window's device context
void platReleaseDC(WindowHandle window, DcHandle dc);
DcHandle platCreateCompatibleDC(DcHandle dc);
void platDeleteDC(DcHandle dc);
// CreateDIBSection: the backend allocates the pixel memory (zeroed).
ObjectHandle platCreateDIBSection(DcHandle dc, const BitmapInfo& info, uint8_t** bits);
// Loads bitmap resource id from the program's own pictures.
ObjectHandle platLoadBitmap(int id);
ObjectHandle platSelectObject(DcHandle dc, ObjectHandle object);   // returns previous
void platDeleteObject(ObjectHandle object);
// BitBlt with SRCCOPY.
int platBitBlt(DcHandle dst, int x, int y, int width, int height, DcHandle src, int srcX,
               int srcY);
// StretchBlt with SRCCOPY, averaging source pixels (halftone) when it shrinks.
int platStretchBlt(DcHandle dst, int x, int y, int width, int height, DcHandle src, int srcX,
                   int srcY, int srcWidth, int srcHeight);
// The caller wrote rows top..bottom-1 (top-down) of the bitmap selected into dc through
// its pixel pointer. A backend that keeps copies of pictures compares only the rows
// reported here (and those its own drawing calls wrote); GDI needs nothing.
void platBitsWritten(DcHandle dc, int top, int bottom);

struct FontRequest {
    int32_t height;
    int32_t width;
    int32_t escapement;
    int32_t orientation;
    int32_t weight;
    uint8_t charSet;    // 128 Shift-JIS
    char faceName[32];  // Shift-JIS
};
ObjectHandle platCreateFont(const FontRequest& request);
// Text colour as the platform's COLORREF (red in the low byte); returns the previous.
uint32_t platSetTextColor(DcHandle dc, uint32_t colorRef);
enum { BkTransparent = 1, BkOpaque = 2 };
int platSetBkMode(DcHandle dc, int mode);                           // returns previous
// TextOutA: Shift-JIS bytes, reference point the top-left of the first cell.
int platTextOut(DcHandle dc, int x, int y, const char* text, int length);

// Paint: the invalid rectangle (inclusive right/bottom exclusive as Win32: right and
// bottom are one past) and the device context to draw it with.
DcHandle platBeginPaint(WindowHandle window, PlatRect& paintRect);
void platEndPaint(WindowHandle window);

// ---- MIDI stream service -----------------------------------------------------------------
// Records laid out as the Windows multimedia MIDIHDR and MIDIEVENT. The multimedia
// headers declare their records byte-packed, so MidiHeader is packed too (112 bytes on
// 64-bit systems, 64 on 32-bit ones).
#pragma pack(push, 1)
struct MidiHeader {
    char* data;
    uint32_t bufferLength;
    uint32_t bytesRecorded;
    uintptr_t user;
    uint32_t flags;
    MidiHeader* next;
    uintptr_t reserved;
    uint32_t offset;
    uintptr_t reservedMore[8];
};
#pragma pack(pop)
enum : uint32_t { MhdrDone = 0x1, MhdrPrepared = 0x2, MhdrInQueue = 0x4, MhdrIsStream = 0x8 };
// The callback's messages: the stream opened, closed, a buffer is done (param1 its header).
enum : uint32_t { MomOpen = 0x3C7, MomClose = 0x3C8, MomDone = 0x3C9 };
enum : uint32_t { MidiPropSet = 0x80000000u, MidiPropGet = 0x40000000u, MidiPropTimeDiv = 1, MidiPropTempo = 2 };

typedef void (*MidiCallback)(MidiStreamHandle stream, uint32_t message, uintptr_t instance,
                             uintptr_t param1, uintptr_t param2);

// Each returns 0 (MMSYSERR_NOERROR) on success, anything else on failure.
uint32_t platMidiStreamOpen(MidiStreamHandle* stream, MidiCallback callback,
                            uintptr_t instance);
uint32_t platMidiOutPrepareHeader(MidiStreamHandle stream, MidiHeader* header);
uint32_t platMidiOutUnprepareHeader(MidiStreamHandle stream, MidiHeader* header);
// property is MidiPropSet or MidiPropGet with MidiPropTimeDiv or MidiPropTempo; *value
// is the value to set, or receives the value got.
uint32_t platMidiStreamProperty(MidiStreamHandle stream, uint32_t property, uint32_t* value);
uint32_t platMidiStreamOut(MidiStreamHandle stream, MidiHeader* header);
uint32_t platMidiStreamRestart(MidiStreamHandle stream);
uint32_t platMidiStreamStop(MidiStreamHandle stream);
uint32_t platMidiStreamClose(MidiStreamHandle stream);

// ---- Wave player ----------------------------------------------------------------------------
enum : uint32_t { SndSync = 0x0, SndAsync = 0x1, SndNoDefault = 0x2, SndLoop = 0x8 };
// A synchronous sound returns when it has played, or after this long with the sound
// stopped: the call never waits much longer than the program's own short effects need.
enum : uint32_t { SyncSoundLimitMs = 400 };
// sndPlaySoundA: one sound at a time; a new one replaces the old. The file is opened as
// FileReadData: a file that cannot be opened so is no sound.
int platPlaySound(const char* path, uint32_t flags);
