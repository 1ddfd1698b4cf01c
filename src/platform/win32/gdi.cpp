// Device contexts, DIB sections, bitmap resources, fonts, text and painting: GDI.
#include "platform/platform.h"
#include "platform/win32/win32.h"

#include <cstring>

static_assert(sizeof(BitmapInfoHeader) == sizeof(BITMAPINFOHEADER), "header mirrors GDI");
static_assert(sizeof(BitmapInfo) == sizeof(BITMAPINFO), "info mirrors GDI");

static HWND toHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
static HDC toHdc(DcHandle dc) { return reinterpret_cast<HDC>(dc); }
static DcHandle toDc(HDC hdc) { return reinterpret_cast<DcHandle>(hdc); }
static HGDIOBJ toGdi(ObjectHandle object) { return reinterpret_cast<HGDIOBJ>(object); }
static ObjectHandle toObject(HGDIOBJ object) { return reinterpret_cast<ObjectHandle>(object); }

DcHandle platGetDC(WindowHandle window) { return toDc(GetDC(toHwnd(window))); }

void platReleaseDC(WindowHandle window, DcHandle dc) { ReleaseDC(toHwnd(window), toHdc(dc)); }

DcHandle platCreateCompatibleDC(DcHandle dc) { return toDc(CreateCompatibleDC(toHdc(dc))); }

void platDeleteDC(DcHandle dc) { DeleteDC(toHdc(dc)); }

ObjectHandle platCreateDIBSection(DcHandle dc, const BitmapInfo& info, uint8_t** bits) {
    void* memory = nullptr;
    HBITMAP dib = CreateDIBSection(toHdc(dc), reinterpret_cast<const BITMAPINFO*>(&info),
                                   DIB_RGB_COLORS, &memory, nullptr, 0);
    if (bits) *bits = dib ? static_cast<uint8_t*>(memory) : nullptr;
    return toObject(dib);
}

ObjectHandle platLoadBitmap(int id) {
    HANDLE image = LoadImageA(programInstance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0,
                              LR_DEFAULTCOLOR);
    return toObject(image);
}

ObjectHandle platSelectObject(DcHandle dc, ObjectHandle object) {
    return toObject(SelectObject(toHdc(dc), toGdi(object)));
}

void platDeleteObject(ObjectHandle object) { DeleteObject(toGdi(object)); }

int platBitBlt(DcHandle dst, int x, int y, int width, int height, DcHandle src, int srcX,
               int srcY) {
    return BitBlt(toHdc(dst), x, y, width, height, toHdc(src), srcX, srcY, SRCCOPY) ? 1 : 0;
}

int platStretchBlt(DcHandle dst, int x, int y, int width, int height, DcHandle src, int srcX,
                   int srcY, int srcWidth, int srcHeight) {
    HDC dc = toHdc(dst);
    // Halftone averages the source pixels a shrunken picture covers; it needs the brush
    // origin set after the mode.
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    return StretchBlt(dc, x, y, width, height, toHdc(src), srcX, srcY, srcWidth, srcHeight,
                      SRCCOPY)
               ? 1
               : 0;
}

void platBitsWritten(DcHandle, int, int) {}

ObjectHandle platCreateFont(const FontRequest& request) {
    // LOGFONT holds 31 bytes of face name and its terminator.
    char face[LF_FACESIZE];
    std::memcpy(face, request.faceName, sizeof(face) < sizeof(request.faceName)
                                            ? sizeof(face)
                                            : sizeof(request.faceName));
    face[LF_FACESIZE - 1] = '\0';
    HFONT font = CreateFontA(request.height, request.width, request.escapement,
                             request.orientation, request.weight, 0, 0, 0, request.charSet,
                             0, 0, 0, 0, face);
    return toObject(font);
}

uint32_t platSetTextColor(DcHandle dc, uint32_t colorRef) {
    return SetTextColor(toHdc(dc), colorRef);
}

int platSetBkMode(DcHandle dc, int mode) { return SetBkMode(toHdc(dc), mode); }

int platTextOut(DcHandle dc, int x, int y, const char* text, int length) {
    return TextOutA(toHdc(dc), x, y, text, length) ? 1 : 0;
}

// ---- Painting ---------------------------------------------------------------------------
// EndPaint needs the record BeginPaint filled; keep one per window being painted.
enum { PaintSlots = 4 };
static struct {
    HWND window;
    PAINTSTRUCT paint;
} paints[PaintSlots];

DcHandle platBeginPaint(WindowHandle window, PlatRect& paintRect) {
    HWND hwnd = toHwnd(window);
    ownRepaintPending = false;
    int slot = 0;
    while (slot < PaintSlots && paints[slot].window && paints[slot].window != hwnd) ++slot;
    if (slot == PaintSlots) {
        // More windows painting at once than slots: validate and paint nothing.
        ValidateRect(hwnd, nullptr);
        paintRect = PlatRect{0, 0, 0, 0};
        return nullptr;
    }
    HDC dc = BeginPaint(hwnd, &paints[slot].paint);
    if (!dc) {
        paintRect = PlatRect{0, 0, 0, 0};
        return nullptr;
    }
    paints[slot].window = hwnd;
    const RECT& r = paints[slot].paint.rcPaint;
    paintRect = PlatRect{r.left, r.top, r.right, r.bottom};
    return toDc(dc);
}

void platEndPaint(WindowHandle window) {
    HWND hwnd = toHwnd(window);
    for (auto& entry : paints) {
        if (entry.window == hwnd) {
            EndPaint(hwnd, &entry.paint);
            entry.window = nullptr;
            return;
        }
    }
}
