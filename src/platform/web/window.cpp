// The window of the web backend: the program's window picture shown on the page's
// canvas, filled sharply (present_scale.h) at the canvas's size in device pixels, and
// only the changed parts sent (present_diff.h) with putImageData; input from html5.h;
// the settings window's push button is a button of the page.
//
// A click or a key on the saver's page asks the browser for full screen and starts the
// sound; input never reaches the saver's window procedure, so nothing ends the page.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdlib>
#include <cstring>

#include "platform/soft/present_scale.h"
#include "platform/soft/soft.h"
#include "platform/web/web.h"

namespace {

constexpr int32_t MaxRects = 64;
constexpr int32_t MaxButtons = 4;

// The canvas and what it shows.
struct WebCanvas {
    SoftWindow* window;          // the program's window, shown here
    int32_t width, height;       // the canvas in device pixels
    PresentRect place;           // where the picture shows on it
    PresentScaler scaler;
    uint8_t* pixels;             // the placed picture, red, green, blue, 255 a pixel
    uint8_t* shadow;             // the window's picture as last presented
    PlatRect pending;            // changed since the last present
    bool hasPending;
    bool redrawAll;
    SoftWindow* buttons[MaxButtons];
};

WebCanvas canvas;
PresentRect diffRects[MaxRects];

}  // namespace

// ---- The page's side ---------------------------------------------------------------------

// Puts the rectangle (x, y, w, h) of the placed picture, held in width x height pixels of
// the memory at pixels, onto the canvas, the picture's top-left at (left, top). The image
// data looks at the memory directly and is made again only when the memory moves.
EM_JS(void, webPutImage,
      (const uint8_t* pixels, int width, int height, int left, int top, int x, int y, int w, int h), {
    var image = Module.webImage;
    if (!image || image.data.buffer !== HEAPU8.buffer || Module.webImageAt !== pixels ||
        image.width !== width || image.height !== height) {
        var bytes = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
        image = Module.webImage = new ImageData(bytes, width, height);
        Module.webImageAt = pixels;
    }
    Module.page.putImage(image, left, top, x, y, w, h);
});
EM_JS(void, webClearCanvas, (), { Module.page.clear(); });
EM_JS(void, webPlaceButton, (int index, const char* caption, double left, double top, double width, double height), {
    Module.page.placeButton(index, UTF8ToString(caption), left, top, width, height);
});
EM_JS(void, webRemoveButton, (int index), { Module.page.removeButton(index); });
EM_JS(void, webGesture, (), { Module.page.gesture(); });

// ---- Presentation --------------------------------------------------------------------------

namespace {

void placeButtons() {
    const SoftWindow* window = canvas.window;
    const double scale = emscripten_get_device_pixel_ratio();
    for (int32_t i = 0; i < MaxButtons; ++i) {
        const SoftWindow* b = canvas.buttons[i];
        if (!b || !window || canvas.place.width <= 0) continue;
        // The button's corners, scaled as the picture is, in the page's pixels.
        const double sx = double(canvas.place.width) / window->width;
        const double sy = double(canvas.place.height) / window->height;
        webPlaceButton(i, b->caption, (canvas.place.x + b->x * sx) / scale, (canvas.place.y + b->y * sy) / scale,
                       b->width * sx / scale, b->height * sy / scale);
    }
}

// Takes the canvas's size: placement, scaling tables and the picture's pixels. False when
// there is no memory for them (nothing is shown then).
bool prepare() {
    SoftWindow* window = canvas.window;
    std::free(canvas.pixels);
    canvas.pixels = nullptr;
    canvas.place = presentPlace(window->width, window->height, canvas.width, canvas.height, 0);
    const PresentRect& p = canvas.place;
    if (p.width <= 0 || p.height <= 0) return false;
    if (!presentScalerPrepare(canvas.scaler, window->width, window->height, p.width, p.height, true)) return false;
    canvas.pixels = static_cast<uint8_t*>(std::malloc(size_t(p.width) * size_t(p.height) * 4));
    placeButtons();
    return canvas.pixels != nullptr;
}

// Scales the rectangle r of the picture (picture pixels) onto the canvas.
void sendRect(const SoftBitmap& picture, const PresentRect& r) {
    const PresentRect& p = canvas.place;
    int32_t x0, x1, y0, y1;
    presentScaledSpan(r.x, r.x + r.width, picture.width, p.width, &x0, &x1);
    presentScaledSpan(r.y, r.y + r.height, picture.height, p.height, &y0, &y1);
    if (x0 >= x1 || y0 >= y1) return;
    presentScale(canvas.scaler, picture.bits, picture.stride, PresentRect{x0, y0, x1 - x0, y1 - y0}, canvas.pixels,
                 p.width * 4, 0, 0);
    webPutImage(canvas.pixels, p.width, p.height, p.x, p.y, x0, y0, x1 - x0, y1 - y0);
}

}  // namespace

void webPresent() {
    SoftWindow* window = canvas.window;
    if (!window || window->destroyed || !canvas.shadow) return;
    const SoftBitmap& picture = window->backing.bitmap;
    if (canvas.redrawAll) {
        canvas.redrawAll = false;
        canvas.hasPending = false;
        webClearCanvas();
        if (!prepare()) return;
        std::memcpy(canvas.shadow, picture.bits, size_t(picture.stride) * size_t(picture.height));
        sendRect(picture, PresentRect{0, 0, picture.width, picture.height});
        return;
    }
    if (!canvas.hasPending || !canvas.pixels) return;
    canvas.hasPending = false;
    const int32_t n = presentDiff(picture.bits, canvas.shadow, picture.width, picture.height, picture.stride,
                                  canvas.pending, diffRects, MaxRects);
    for (int32_t i = 0; i < n; ++i) sendRect(picture, diffRects[i]);
}

// The canvas's size in device pixels, from the page whenever it changes.
extern "C" EMSCRIPTEN_KEEPALIVE void webResize(int width, int height) {
    canvas.width = width;
    canvas.height = height;
    canvas.redrawAll = true;
    webPresent();
}

extern "C" EMSCRIPTEN_KEEPALIVE void webButtonClicked(int index) {
    if (index < 0 || index >= MaxButtons || !canvas.buttons[index]) return;
    SoftWindow* button = canvas.buttons[index];
    if (softWindow(button->parent))
        softPostMessage(button->parent, WmCommand, uintptr_t(uint32_t(button->id) & 0xFFFF),
                        intptr_t(reinterpret_cast<uintptr_t>(softHandle(button))));
}

// ---- Input -------------------------------------------------------------------------------------

namespace {

intptr_t packPoint(int32_t x, int32_t y) {
    return intptr_t(int32_t((uint32_t(y) & 0xFFFF) << 16 | (uint32_t(x) & 0xFFFF)));
}

// A press on the canvas: in the settings window a click at its picture point (a press
// outside the picture is none); on the saver's page a request for full screen and sound.
EM_BOOL mouseDown(int, const EmscriptenMouseEvent* e, void*) {
    SoftWindow* window = canvas.window;
    if (!web.settingsMode || !window) {
        webGesture();
        return EM_FALSE;
    }
    const double scale = emscripten_get_device_pixel_ratio();
    const int32_t x = int32_t(e->targetX * scale), y = int32_t(e->targetY * scale);
    const PresentRect& p = canvas.place;
    if (e->button != 0 || x < p.x || y < p.y || x >= p.x + p.width || y >= p.y + p.height) return EM_TRUE;
    int32_t px, py;
    presentPictureCoordinates(p, window->width, window->height, x, y, &px, &py);
    softPostMessage(softHandle(window), WmLButtonDown, 0x0001, packPoint(px, py));
    return EM_TRUE;
}

EM_BOOL keyDown(int, const EmscriptenKeyboardEvent* e, void*) {
    // Esc is the browser's, to leave full screen.
    if (std::strcmp(e->key, "Escape") != 0) webGesture();
    return EM_FALSE;
}

}  // namespace

void webListen() {
    emscripten_set_mousedown_callback("#pellrun", nullptr, EM_TRUE, mouseDown);
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, keyDown);
}

// ---- Hooks of the software window system ----------------------------------------------------

// Input arrives through the callbacks, which post it at once.
void backendPumpEvents() {}
void backendWaitEvents() { platSleep(1); }
void backendWaitMessage(uint32_t timeoutMs) { platSleep(timeoutMs); }

void backendWindowCreated(SoftWindow* window) {
    if (window->parent) {
        for (SoftWindow*& slot : canvas.buttons)
            if (!slot) {
                slot = window;
                placeButtons();
                break;
            }
        return;
    }
    if (canvas.window) return;
    const SoftBitmap& picture = window->backing.bitmap;
    canvas.shadow = static_cast<uint8_t*>(std::calloc(size_t(picture.stride) * size_t(picture.height), 1));
    if (!canvas.shadow) return;
    canvas.window = window;
    canvas.redrawAll = true;
}

void backendWindowShown(SoftWindow*, int) {}

void backendWindowDestroyed(SoftWindow* window) {
    for (int32_t i = 0; i < MaxButtons; ++i)
        if (canvas.buttons[i] == window || (canvas.buttons[i] && window == canvas.window)) {
            canvas.buttons[i] = nullptr;
            webRemoveButton(i);
        }
    if (window != canvas.window) return;
    std::free(canvas.shadow);
    std::free(canvas.pixels);
    presentScalerRelease(canvas.scaler);
    const int32_t width = canvas.width, height = canvas.height;
    canvas = WebCanvas();
    canvas.width = width;
    canvas.height = height;
}

void backendWindowChanged(SoftWindow* window, const PlatRect& area) {
    if (window != canvas.window || area.left >= area.right || area.top >= area.bottom) return;
    presentGrow(canvas.pending, canvas.hasPending, area);
}

// What changed is sent when the pass is over.
void backendPaintDone(SoftWindow*) {}
