#include "platform/soft/soft.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <malloc.h>
#else
#include <sys/mman.h>
#endif

#include <cstdlib>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/embedded.h"

// Pixel blocks are 64-byte aligned so the blitters' vector loads stay on whole lines;
// the Microsoft C runtime has its own aligned heap calls for that.
static void* alignedAlloc(size_t bytes) {
#ifdef _WIN32
    return _aligned_malloc(bytes, 64);
#else
    return std::aligned_alloc(64, bytes);
#endif
}

static void alignedFree(void* block) {
#ifdef _WIN32
    _aligned_free(block);
#else
    std::free(block);
#endif
}

// ---- Objects and device contexts -----------------------------------------------------

static SoftObject stockBitmap = {SoftBitmapObject, {nullptr, 0, 0, 0}, {}, true, nullptr, 0, 0};
static SoftObject stockFont = {SoftFontObject, {nullptr, 0, 0, 0}, {}, true, nullptr, 0, 0};

static int32_t strideFor(int32_t width) { return ((width * 24 + 31) / 32) * 4; }

static SoftObject* newBitmapObject(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || width > 32768 || height > 32768) return nullptr;
    SoftObject* object = new (std::nothrow) SoftObject();
    if (!object) return nullptr;
    int32_t stride = strideFor(width);
    size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(height);
    void* bits = alignedAlloc((bytes + 63) / 64 * 64);
    if (!bits) {
        delete object;
        return nullptr;
    }
    std::memset(bits, 0, bytes);
    object->kind = SoftBitmapObject;
    object->bitmap = {static_cast<uint8_t*>(bits), width, height, stride};
    return object;
}

// ---- Tracking what changed in bitmaps copied into windows ----------------------------

static bool checkPaintCopies;
static SoftPaintCopyCounters paintCopyCounters;

void softCheckPaintCopies(bool enabled) {
    checkPaintCopies = enabled;
    paintCopyCounters = SoftPaintCopyCounters();
}

const SoftPaintCopyCounters& softPaintCopyCounters() { return paintCopyCounters; }

static void unpair(SoftWindow* window) {
    if (window) window->pairedSource = nullptr;
}

// Rows top..bottom-1 of the bitmap selected into dc were written.
static void noteWritten(SoftDc* dc, int64_t top, int64_t bottom) {
    if (!dc || !dc->bitmap) return;
    if (dc->window) {
        // The picture itself changed: it no longer follows its source row for row.
        unpair(softWindow(dc->window));
        return;
    }
    SoftObject* object = dc->bitmap;
    if (!object->pairedWindow) return;
    if (top < 0) top = 0;
    if (bottom > object->bitmap.height) bottom = object->bitmap.height;
    if (top >= bottom) return;
    if (object->writtenTop >= object->writtenBottom) {
        object->writtenTop = int32_t(top);
        object->writtenBottom = int32_t(bottom);
        return;
    }
    if (top < object->writtenTop) object->writtenTop = int32_t(top);
    if (bottom > object->writtenBottom) object->writtenBottom = int32_t(bottom);
}

void platBitsWritten(DcHandle handle, int top, int bottom) {
    noteWritten(reinterpret_cast<SoftDc*>(handle), top, bottom);
}

static void freeObject(SoftObject* object) {
    if (!object || object->stock) return;
    if (object->pairedWindow && object->pairedWindow->pairedSource == object)
        object->pairedWindow->pairedSource = nullptr;
    if (object->kind == SoftBitmapObject) alignedFree(object->bitmap.bits);
    delete object;
}

DcHandle platCreateCompatibleDC(DcHandle) {
    SoftDc* dc = new (std::nothrow) SoftDc();
    if (!dc) return nullptr;
    dc->bitmap = &stockBitmap;
    dc->font = &stockFont;
    dc->textColor = 0;
    dc->bkMode = BkOpaque;
    return reinterpret_cast<DcHandle>(dc);
}

void platDeleteDC(DcHandle handle) {
    SoftDc* dc = reinterpret_cast<SoftDc*>(handle);
    if (dc && !dc->window) delete dc;
}

ObjectHandle platCreateDIBSection(DcHandle, const BitmapInfo& info, uint8_t** bits) {
    *bits = nullptr;
    const BitmapInfoHeader& h = info.header;
    // Only the one format the program uses: 24-bit, uncompressed, bottom-up.
    if (h.bitCount != 24 || h.compression != 0 || h.height <= 0) return nullptr;
    SoftObject* object = newBitmapObject(h.width, h.height);
    if (!object) return nullptr;
    *bits = object->bitmap.bits;
    return reinterpret_cast<ObjectHandle>(object);
}

bool softDecodeBmp(const uint8_t* data, uint64_t size, SoftBitmap& out) {
    auto u16 = [&](uint64_t at) { return uint32_t(data[at]) | uint32_t(data[at + 1]) << 8; };
    auto u32 = [&](uint64_t at) { return u16(at) | u16(at + 2) << 16; };
    if (!data || size < 54 || data[0] != 'B' || data[1] != 'M') return false;
    uint32_t offset = u32(10);
    int32_t width = static_cast<int32_t>(u32(18));
    int32_t height = static_cast<int32_t>(u32(22));
    if (u32(14) < 40 || u16(26) != 1 || u16(28) != 24 || u32(30) != 0) return false;
    if (width <= 0 || height <= 0 || width > 32768 || height > 32768) return false;
    int32_t stride = strideFor(width);
    if (offset > size || size - offset < uint64_t(stride) * uint64_t(height)) return false;
    out = {const_cast<uint8_t*>(data + offset), width, height, stride};
    return true;
}

// The embedded pictures are read once, into bitmaps. Their whole pages inside the
// program file are handed back so they stop counting as resident memory (about 2 MB);
// being read-only file pages, they are read from the file again if ever touched.
static void releaseEmbeddedPages(const unsigned char* begin, const unsigned char* end) {
#ifdef _WIN32
    (void)begin;
    (void)end;
#else
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pageSize <= 0) return;
    const uintptr_t page = uintptr_t(pageSize);
    const uintptr_t first = (reinterpret_cast<uintptr_t>(begin) + page - 1) / page * page;
    const uintptr_t last = reinterpret_cast<uintptr_t>(end) / page * page;
    if (first < last) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
#endif
}

ObjectHandle platLoadBitmap(int id) {
    const EmbeddedResource* resource = findEmbeddedResource(id);
    if (!resource) return nullptr;
    SoftBitmap view;
    if (!softDecodeBmp(resource->begin, uint64_t(resource->end - resource->begin), view))
        return nullptr;
    SoftObject* object = newBitmapObject(view.width, view.height);
    if (!object) return nullptr;
    std::memcpy(object->bitmap.bits, view.bits, size_t(view.stride) * size_t(view.height));
    releaseEmbeddedPages(resource->begin, resource->end);
    return reinterpret_cast<ObjectHandle>(object);
}

ObjectHandle platSelectObject(DcHandle handle, ObjectHandle objectHandle) {
    SoftDc* dc = reinterpret_cast<SoftDc*>(handle);
    SoftObject* object = reinterpret_cast<SoftObject*>(objectHandle);
    if (!dc || !object) return nullptr;
    SoftObject** slot = nullptr;
    if (object->kind == SoftBitmapObject && !dc->window) slot = &dc->bitmap;
    if (object->kind == SoftFontObject) slot = &dc->font;
    if (!slot) return nullptr;
    SoftObject* previous = *slot;
    *slot = object;
    return reinterpret_cast<ObjectHandle>(previous);
}

void platDeleteObject(ObjectHandle handle) { freeObject(reinterpret_cast<SoftObject*>(handle)); }

ObjectHandle platCreateFont(const FontRequest& request) {
    SoftObject* object = new (std::nothrow) SoftObject();
    if (!object) return nullptr;
    object->kind = SoftFontObject;
    object->font = request;
    object->font.faceName[sizeof object->font.faceName - 1] = 0;
    return reinterpret_cast<ObjectHandle>(object);
}

uint32_t platSetTextColor(DcHandle handle, uint32_t colorRef) {
    SoftDc* dc = reinterpret_cast<SoftDc*>(handle);
    if (!dc) return 0xFFFFFFFFu;
    uint32_t previous = dc->textColor;
    dc->textColor = colorRef & 0xFFFFFF;
    return previous;
}

int platSetBkMode(DcHandle handle, int mode) {
    SoftDc* dc = reinterpret_cast<SoftDc*>(handle);
    if (!dc) return 0;
    int previous = dc->bkMode;
    dc->bkMode = mode;
    return previous;
}

int platTextOut(DcHandle handle, int x, int y, const char* text, int length) {
    SoftDc* dc = reinterpret_cast<SoftDc*>(handle);
    if (!dc || !text || length <= 0) return dc ? 1 : 0;
    // Glyphs stay inside their cells: the font's height, 16 for the stock font.
    int64_t cellHeight = 16;
    if (dc->font && dc->font->kind == SoftFontObject && dc->font->font.height != 0)
        cellHeight = std::abs(int64_t(dc->font->font.height));
    noteWritten(dc, y, int64_t(y) + cellHeight);
    return backendTextOut(dc, x, y, text, length);
}

// Copies a rectangle between two pixel blocks, clipped to both.
int platBitBlt(DcHandle dstHandle, int x, int y, int width, int height, DcHandle srcHandle,
               int srcX, int srcY) {
    SoftDc* dst = reinterpret_cast<SoftDc*>(dstHandle);
    SoftDc* src = reinterpret_cast<SoftDc*>(srcHandle);
    if (!dst || !src || !dst->bitmap || !src->bitmap) return 0;
    const SoftBitmap& d = dst->bitmap->bitmap;
    const SoftBitmap& s = src->bitmap->bitmap;
    SoftWindow* const dstWindow = dst->window ? softWindow(dst->window) : nullptr;
    if ((!d.bits && !(dstWindow && dstWindow->rowCopy)) || !s.bits) return 1;
    auto clip = [](int& a, int& b, int& n, int limitA, int limitB) {
        if (a < 0) { n += a; b -= a; a = 0; }
        if (b < 0) { n += b; a -= b; b = 0; }
        if (a + n > limitA) n = limitA - a;
        if (b + n > limitB) n = limitB - b;
    };
    if (dst->window && (x < 0 || y < 0 || srcX < 0 || srcY < 0 || x + width > d.width ||
                        y + height > d.height || srcX + width > s.width || srcY + height > s.height))
        ++paintCopyCounters.overreach;
    clip(x, srcX, width, d.width, s.width);
    clip(y, srcY, height, d.height, s.height);
    if (width <= 0 || height <= 0) return 1;
    if (!dst->window) {
        noteWritten(dst, y, int64_t(y) + height);
        for (int row = 0; row < height; ++row) {
            uint8_t* to = d.bits + size_t(d.height - 1 - (y + row)) * d.stride + size_t(x) * 3;
            const uint8_t* from =
                s.bits + size_t(s.height - 1 - (srcY + row)) * s.stride + size_t(srcX) * 3;
            std::memmove(to, from, size_t(width) * 3);
        }
        return 1;
    }
    // A window's picture is mostly repainted with what it already shows: rows that are
    // equal are left alone, and only the band of rows that changed is reported. When the
    // same bitmap was copied to the same place last time, only the rows written into it
    // since can differ, and only those are compared.
    SoftWindow* window = dstWindow;
    SoftObject* source = src->bitmap;
    const bool paired = window && window->pairedSource == source &&
                        source->pairedWindow == window && window->pairedArea.left == x &&
                        window->pairedArea.top == y && window->pairedArea.right == width &&
                        window->pairedArea.bottom == height && window->pairedSrcX == srcX &&
                        window->pairedSrcY == srcY;
    int first = 0, last = height;
    if (paired) {
        first = source->writtenTop - srcY;
        last = source->writtenBottom - srcY;
        if (source->writtenTop >= source->writtenBottom) first = last = 0;
        if (first < 0) first = 0;
        if (last > height) last = height;
        ++paintCopyCounters.tracked;
    } else {
        ++paintCopyCounters.whole;
    }
    int changedTop = height, changedBottom = 0;
    for (int row = 0; row < height; ++row) {
        const bool written = row >= first && row < last;
        if (paired && !written && !checkPaintCopies) {
            if (row >= first) break;
            row = first - 1;
            continue;
        }
        const uint8_t* from =
            s.bits + size_t(s.height - 1 - (srcY + row)) * s.stride + size_t(srcX) * 3;
        if (window && window->rowCopy) {
            if (!window->rowCopy(window, x, y + row, from, width)) continue;
        } else {
            uint8_t* to = d.bits + size_t(d.height - 1 - (y + row)) * d.stride + size_t(x) * 3;
            if (std::memcmp(to, from, size_t(width) * 3) == 0) continue;
            std::memmove(to, from, size_t(width) * 3);
        }
        if (paired && !written) ++paintCopyCounters.misses;
        if (row < changedTop) changedTop = row;
        changedBottom = row + 1;
    }
    if (changedTop >= changedBottom) changedTop = changedBottom = 0;
    if (window) {
        // The copied area now equals the bitmap: later copies of it look at written rows.
        if (source != &window->backing) {
            window->pairedSource = source;
            window->pairedArea = PlatRect{x, y, width, height};
            window->pairedSrcX = srcX;
            window->pairedSrcY = srcY;
            source->pairedWindow = window;
            source->writtenTop = source->writtenBottom = 0;
        }
        backendWindowChanged(window,
                             PlatRect{x, y + changedTop, x + width, y + changedBottom});
    }
    return 1;
}

// ---- Windows and the message queue ------------------------------------------------------

namespace {
constexpr int MaxWindows = 8;
constexpr int MaxClasses = 4;
constexpr int QueueSize = 512;

struct SoftClass {
    char name[32];
    WindowProc proc;
};

SoftWindow windows[MaxWindows];
SoftClass classes[MaxClasses];
PlatMessage queue[QueueSize];
int queueHead, queueCount;
bool quitPosted;
int quitCode;
}  // namespace

SoftWindow* softWindow(WindowHandle handle) {
    SoftWindow* window = reinterpret_cast<SoftWindow*>(handle);
    for (SoftWindow& w : windows)
        if (&w == window && w.used) return window;
    return nullptr;
}

SoftWindow* softMainWindow() {
    for (SoftWindow& w : windows)
        if (w.used && !w.destroyed && !w.parent) return &w;
    return nullptr;
}

SoftWindow* softChild(SoftWindow* parent, int32_t index) {
    for (SoftWindow& w : windows)
        if (w.used && !w.destroyed && w.parent == softHandle(parent) && index-- == 0) return &w;
    return nullptr;
}

SoftWindow* softChildAt(SoftWindow* parent, int32_t x, int32_t y) {
    for (int i = 0;; ++i) {
        SoftWindow* child = softChild(parent, i);
        if (!child) return nullptr;
        if (x >= child->x && x < child->x + child->width && y >= child->y &&
            y < child->y + child->height)
            return child;
    }
}

void softReset() {
    for (SoftWindow& w : windows) {
        if (w.used) alignedFree(w.backing.bitmap.bits);
        w = SoftWindow();
    }
    for (SoftClass& c : classes) c = SoftClass();
    queueHead = queueCount = 0;
    quitPosted = false;
    quitCode = 0;
}

bool softPostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (queueCount == QueueSize) return false;
    queue[(queueHead + queueCount) % QueueSize] = PlatMessage{window, message, wParam, lParam};
    ++queueCount;
    return true;
}

static SoftWindow* invalidWindow() {
    for (SoftWindow& w : windows)
        if (w.used && !w.destroyed && w.invalid) return &w;
    return nullptr;
}

bool platPeekMessage() {
    backendPumpEvents();
    return queueCount > 0 || quitPosted || invalidWindow();
}

bool softMessageWaiting() { return queueCount > 0 || quitPosted; }

bool platWaitMessage(uint32_t timeoutMs) {
    if (!softMessageWaiting()) backendWaitMessage(timeoutMs);
    return true;
}

int platGetMessage(PlatMessage& message) {
    for (;;) {
        backendPumpEvents();
        if (queueCount > 0) {
            message = queue[queueHead];
            queueHead = (queueHead + 1) % QueueSize;
            --queueCount;
            return 1;
        }
        if (quitPosted) {
            quitPosted = false;
            message = PlatMessage{nullptr, WmQuit, uintptr_t(quitCode), 0};
            return 0;
        }
        if (SoftWindow* w = invalidWindow()) {
            message = PlatMessage{softHandle(w), WmPaint, 0, 0};
            return 1;
        }
        backendWaitEvents();
    }
}

void platTranslateMessage(const PlatMessage&) {}

intptr_t platDispatchMessage(const PlatMessage& message) {
    SoftWindow* window = softWindow(message.window);
    if (!window || window->destroyed || !window->proc) return 0;
    intptr_t result =
        window->proc(message.window, message.message, message.wParam, message.lParam);
    // A paint message the procedure did not serve would come back for ever.
    if (message.message == WmPaint) window->invalid = false;
    return result;
}

void platPostQuitMessage(int exitCode) {
    quitPosted = true;
    quitCode = exitCode;
}

intptr_t platDefWindowProc(WindowHandle window, uint32_t message, uintptr_t, intptr_t) {
    SoftWindow* w = softWindow(window);
    if (!w) return 0;
    if (message == WmClose) platDestroyWindow(window);
    if (message == WmPaint) w->invalid = false;
    return 0;
}

int platRegisterClass(const char* className, WindowProc proc, int) {
    for (SoftClass& c : classes) {
        if (c.proc && std::strcmp(c.name, className) == 0) return 0;
    }
    for (SoftClass& c : classes) {
        if (!c.proc) {
            std::strncpy(c.name, className, sizeof c.name - 1);
            c.proc = proc;
            return 1;
        }
    }
    return 0;
}

// Window managers draw the frame around the client area themselves.
int platAdjustWindowRect(PlatRect&, uint32_t) { return 1; }

WindowHandle platCreateWindow(const char* className, const char* caption, uint32_t style,
                              int x, int y, int width, int height, WindowHandle parent,
                              int id) {
    WindowProc proc = nullptr;
    for (SoftClass& c : classes)
        if (c.proc && std::strcmp(c.name, className) == 0) proc = c.proc;
    bool button = std::strcmp(className, "BUTTON") == 0;
    if (!proc && !button) return nullptr;
    if (parent && !softWindow(parent)) return nullptr;
    for (SoftWindow& w : windows) {
        if (w.used) continue;
        w = SoftWindow();
        w.used = true;
        w.proc = proc;
        std::strncpy(w.className, className, sizeof w.className - 1);
        if (caption) std::strncpy(w.caption, caption, sizeof w.caption - 1);
        w.style = style;
        w.x = x;
        w.y = y;
        w.width = width > 0 ? width : 1;
        w.height = height > 0 ? height : 1;
        w.parent = parent;
        w.id = id;
        w.visible = (style & WsVisible) != 0;
        if (!parent) {
            SoftObject* backing = newBitmapObject(w.width, w.height);
            if (!backing) {
                w.used = false;
                return nullptr;
            }
            w.backing = *backing;
            w.backing.stock = true;
            delete backing;
        }
        w.dc.bitmap = &w.backing;
        w.dc.font = &stockFont;
        w.dc.bkMode = BkOpaque;
        w.dc.window = softHandle(&w);
        backendWindowCreated(&w);
        return softHandle(&w);
    }
    return nullptr;
}

void softRepaintWhole(SoftWindow* window) {
    if (!window) return;
    unpair(window);
    platInvalidate(softHandle(window));
}

void softTakeOverPicture(SoftWindow* window, SoftRowCopy copyRow) {
    if (!window || window->parent || !copyRow) return;
    alignedFree(window->backing.bitmap.bits);
    window->backing.bitmap.bits = nullptr;
    window->rowCopy = copyRow;
    // The next copy compares every row against the backend's picture.
    unpair(window);
}

bool softKeepPicture(SoftWindow* window) {
    if (!window || !window->rowCopy) return true;
    const SoftBitmap& picture = window->backing.bitmap;
    const size_t bytes = size_t(picture.stride) * size_t(picture.height);
    void* bits = alignedAlloc((bytes + 63) / 64 * 64);
    if (!bits) return false;
    std::memset(bits, 0, bytes);
    window->backing.bitmap.bits = static_cast<uint8_t*>(bits);
    window->rowCopy = nullptr;
    softRepaintWhole(window);
    return true;
}

void platShowWindow(WindowHandle window, int showCommand) {
    if (SoftWindow* w = softWindow(window)) {
        w->visible = showCommand != 0;
        backendWindowShown(w, showCommand);
    }
}

void platDestroyWindow(WindowHandle window) {
    SoftWindow* w = softWindow(window);
    if (!w || w->destroyed) return;
    for (SoftWindow& child : windows)
        if (child.used && !child.destroyed && child.parent == window)
            platDestroyWindow(softHandle(&child));
    w->destroyed = true;
    if (w->proc) w->proc(window, WmDestroy, 0, 0);
    backendWindowDestroyed(w);
}

void platInvalidate(WindowHandle window) {
    if (SoftWindow* w = softWindow(window)) w->invalid = !w->destroyed;
}

// No other program's window is ever at hand here, so there is no preview pane to draw
// in: no window is foreign, timers and scaled copies are not offered.
bool platIsWindow(WindowHandle) { return false; }
bool platClientSize(WindowHandle, int& width, int& height) {
    width = height = 0;
    return false;
}
int platSetTimer(WindowHandle, uintptr_t, uint32_t) { return 0; }
int platStretchBlt(DcHandle, int, int, int, int, DcHandle, int, int, int, int) { return 0; }
// The soft window compares what it copies and presents only what changed, so a repaint
// of some rows, or of none, is a repaint of the whole window as before (the headless
// frames stay one per request).
void platInvalidateRows(WindowHandle window, int top, int bottom) {
    if (top < bottom) ++paintCopyCounters.rowRepaints;
    platInvalidate(window);
}

DcHandle platGetDC(WindowHandle window) {
    SoftWindow* w = softWindow(window);
    return w ? reinterpret_cast<DcHandle>(&w->dc) : nullptr;
}

void platReleaseDC(WindowHandle, DcHandle) {}

DcHandle platBeginPaint(WindowHandle window, PlatRect& paintRect) {
    SoftWindow* w = softWindow(window);
    if (!w) return nullptr;
    paintRect = PlatRect{0, 0, w->width, w->height};
    w->invalid = false;
    return reinterpret_cast<DcHandle>(&w->dc);
}

void platEndPaint(WindowHandle window) {
    if (SoftWindow* w = softWindow(window)) backendPaintDone(w);
}

LocalTime softLocalTime(const std::tm& t, int32_t milliseconds) {
    return LocalTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_wday, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                     milliseconds};
}

// ---- Files ---------------------------------------------------------------------------------

void softNativePath(const char* path, char* out, uint32_t size) {
    uint32_t i = 0;
    for (; path[i] && i + 1 < size; ++i) out[i] = path[i] == '\\' ? '/' : path[i];
    out[i] = 0;
}

uint32_t platCurrentDirectory(char* buffer, uint32_t size) {
    if (!buffer || size == 0) return 0;
    if (!getcwd(buffer, size)) {
        buffer[0] = 0;
        return 0;
    }
    return static_cast<uint32_t>(std::strlen(buffer));
}

static int fdOf(FileHandle file) { return static_cast<int>(reinterpret_cast<intptr_t>(file)) - 1; }

FileHandle platFileOpen(const char* path, int mode) {
    char native[1024];
    softNativePath(path, native, sizeof native);
#ifdef _WIN32
    // Bytes as they are (no newline translation), and not handed to child processes.
    int flags = O_BINARY | O_NOINHERIT;
#else
    // Opening a pipe waits for its other end, and a device may wait too; without waiting
    // the open returns at once, and what it opened is then refused unless it is a file.
    int flags = O_CLOEXEC | O_NONBLOCK;
#endif
    flags |= mode == FileReadData ? O_RDONLY : O_RDWR;
    if (mode == FileCreateAlways) flags |= O_CREAT | O_TRUNC;
    int fd = open(native, flags, 0644);
    // Installed files are read-only to the user: an existing file that cannot be opened
    // for writing is opened for reading (writes to it then fail).
    if (fd < 0 && mode == FileOpenExisting && (errno == EACCES || errno == EROFS))
        fd = open(native, (flags & ~O_RDWR) | O_RDONLY, 0);
    if (fd < 0) return nullptr;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        (mode == FileReadData && uint64_t(info.st_size) > DataFileLimit)) {
        close(fd);
        return nullptr;
    }
#ifndef _WIN32
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif
    return reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd) + 1);
}

int64_t platFileSeek(FileHandle file, int64_t position, bool fromEnd) {
    off_t at = lseek(fdOf(file), position, fromEnd ? SEEK_END : SEEK_SET);
    return at < 0 ? -1 : at;
}

int platFileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    uint8_t* to = static_cast<uint8_t*>(buffer);
    while (*done < count) {
        ssize_t n = read(fdOf(file), to + *done, count - *done);
        if (n < 0) return 0;
        if (n == 0) break;
        *done += static_cast<uint32_t>(n);
    }
    return 1;
}

int platFileWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    const uint8_t* from = static_cast<const uint8_t*>(buffer);
    while (*done < count) {
        ssize_t n = write(fdOf(file), from + *done, count - *done);
        if (n <= 0) return 0;
        *done += static_cast<uint32_t>(n);
    }
    return 1;
}

uint32_t platFileSize(FileHandle file) {
    struct stat info;
    if (fstat(fdOf(file), &info) != 0) return 0;
    return static_cast<uint32_t>(info.st_size);
}

int platFileClose(FileHandle file) { return close(fdOf(file)) == 0 ? 1 : 0; }

// ---- Replacing a whole file -----------------------------------------------------------
// Windows builds take the Win32 backend's version (win32/replace.cpp).
#ifndef _WIN32

static char saveFailure[1200];

const char* softSaveFailure() { return saveFailure; }

static int refuseSave(const char* path, const char* reason) {
    std::snprintf(saveFailure, sizeof saveFailure, "%s: %s", path, reason);
    return 0;
}

int platReplaceFile(const char* path, const void* bytes, uint32_t count) {
    char native[1024];
    softNativePath(path, native, sizeof native);
    // The target is only ever replaced, never written through: a link or anything but a
    // regular file is left alone, and so is a file the user may not write (a read-only
    // Setup.ini keeps its settings, as it did when it was opened for writing).
    struct stat old;
    const bool exists = lstat(native, &old) == 0;
    if (!exists && errno != ENOENT) return refuseSave(native, std::strerror(errno));
    if (exists && S_ISLNK(old.st_mode)) return refuseSave(native, "is a symbolic link");
    if (exists && !S_ISREG(old.st_mode)) return refuseSave(native, "is not a regular file");
    if (exists && access(native, W_OK) != 0) return refuseSave(native, std::strerror(errno));

    // A new file of its own (made exclusively, so never through a link), mode 0600 or
    // the old file's mode and owner, flushed to the disk before it takes the name.
    char temp[sizeof native + 8];
    if (std::snprintf(temp, sizeof temp, "%s.XXXXXX", native) >= int(sizeof temp))
        return refuseSave(native, std::strerror(ENAMETOOLONG));
    const int fd = mkostemp(temp, O_CLOEXEC);
    if (fd < 0) return refuseSave(native, std::strerror(errno));
    if (exists) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0) {}  // only root can give files away
        fchmod(fd, old.st_mode & 07777);
    }
    const uint8_t* from = static_cast<const uint8_t*>(bytes);
    int error = 0;
    for (uint32_t done = 0; done < count && !error;) {
        const ssize_t n = write(fd, from + done, count - done);
        if (n > 0)
            done += uint32_t(n);
        else if (n == 0 || errno != EINTR)
            error = n == 0 ? EIO : errno;
    }
    if (!error && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 || error || rename(temp, native) != 0) {
        const int reason = error ? error : errno;
        unlink(temp);
        return refuseSave(native, std::strerror(reason));
    }
    // The new name is made lasting too: the folder's entry is flushed (a file system
    // that cannot do that for a folder still has the file in place).
    char* slash = std::strrchr(native, '/');
    if (slash) *slash = 0;
    const int folder = open(slash ? (slash == native ? "/" : native) : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    saveFailure[0] = 0;
    return 1;
}

#endif
