// Windows of the sdl backend: the main window as an SDL window, SDL events turned into
// the program's messages, the push button drawn and clicked here, and presentation of
// the window picture (only what changed since the last present reaches the screen).
//
// A window shown one to one keeps its picture only in the window surface: copies into it
// are written there row by row where they differ (marking tiles), and a present sends the
// marked tiles. A window shown scaled keeps the soft layer's picture and a copy of what
// was presented last, compared at each present.
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/sdl/present_diff.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/soft/soft.h"

namespace {

constexpr int32_t MaxRects = 64;
// The screen shows at most about 60 pictures a second: changes that come faster are
// gathered and sent together, at most this many milliseconds after the last present.
constexpr uint32_t PresentInterval = 15;
uint32_t lastPresent;

struct SdlWindowData {
    SDL_Window* window;
    bool host;                 // the host's window: not ours to destroy
    bool held;                 // the picture is kept only in the window surface
    uint8_t* tiles;            // held: tiles written since the last present, 1 when marked
    int32_t tileColumns;
    int32_t dirtyFirst, dirtyEnd;  // held: the bands holding marked tiles
    uint8_t* shadow;           // not held: the picture as last presented
    PlatRect pending;          // changed since the last present
    bool hasPending;
    bool redrawAll;            // the surface must be filled again from the picture
    bool exposed;              // the screen lost what the surface holds
    SDL_Surface* surface;      // the window surface the placement was made for
    SDL_Surface* staging;      // 32-bit pixels when the window surface has another format
    PresentRect place;         // where the picture shows in the window
    PresentRect diff[MaxRects];
    SDL_Rect rects[MaxRects + 1];
};

// The push button being held down with the left mouse button, and whether the pointer
// is over it now (it shows pressed only then).
SoftWindow* capturedButton;
bool capturedInside;
bool buttonsDirty;

SdlWindowData* dataOf(SoftWindow* window) {
    return window ? static_cast<SdlWindowData*>(window->backendData) : nullptr;
}

bool isButton(const SoftWindow* window) { return std::strcmp(window->className, "BUTTON") == 0; }

// The window caption is Shift-JIS; SDL wants UTF-8.
void setTitle(SDL_Window* window, const char* caption) {
    char utf8[512];
    iconv_t cd = iconv_open("UTF-8", "CP932");
    bool done = false;
    if (cd != iconv_t(-1)) {
        char* in = const_cast<char*>(caption);
        size_t inLeft = std::strlen(caption);
        char* out = utf8;
        size_t outLeft = sizeof utf8 - 1;
        done = iconv(cd, &in, &inLeft, &out, &outLeft) != size_t(-1);
        *out = 0;
        iconv_close(cd);
    }
    if (!done) {
        // Without the converter only the plain ASCII part is shown.
        size_t n = 0;
        for (const char* c = caption; *c && n + 1 < sizeof utf8; ++c)
            if (uint8_t(*c) < 0x80) utf8[n++] = *c;
        utf8[n] = 0;
    }
    SDL_SetWindowTitle(window, utf8);
}

// A picture is shown enlarged by the largest whole factor that fits (crisp pixels),
// centred with black around; one larger than the window is reduced to fit, its aspect
// kept.
void placePicture(SoftWindow* window, SdlWindowData* data, int32_t width, int32_t height) {
    if (width >= window->width && height >= window->height) {
        const int32_t f =
            hostScaleFactor(width, height, window->width, window->height, sdl.options.scale);
        const int32_t w = window->width * f, h = window->height * f;
        data->place = PresentRect{(width - w) / 2, (height - h) / 2, w, h};
    } else {
        data->place = presentPlace(window->width, window->height, width, height);
    }
}

bool reduced(const SoftWindow* window, const SdlWindowData* data) {
    return data->place.width < window->width;
}

bool oneToOne(const SoftWindow* window, const SdlWindowData* data) {
    return data->place.width == window->width && data->place.height == window->height;
}

PresentRect buttonRect(const SoftWindow* parent, const SdlWindowData* data,
                       const SoftWindow* button) {
    (void)parent;
    return PresentRect{data->place.x + button->x, data->place.y + button->y, button->width,
                       button->height};
}

bool overlaps(const PresentRect& a, const SDL_Rect& b) {
    return a.x < b.x + b.w && b.x < a.x + a.width && a.y < b.y + b.h && b.y < a.y + a.height;
}

// Draws the visible push buttons of window into pixels; those that overlap an updated
// rectangle, or all when requested, are added to the rectangles to send.
int32_t drawButtons(SoftWindow* window, SdlWindowData* data, uint8_t* pixels, int32_t pitch,
                    int32_t surfaceWidth, int32_t surfaceHeight, int32_t count, bool all) {
    if (!oneToOne(window, data)) return count;
    for (int32_t i = 0;; ++i) {
        SoftWindow* child = softChild(window, i);
        if (!child) break;
        if (!child->visible || !isButton(child)) continue;
        const PresentRect r = buttonRect(window, data, child);
        bool touched = all;
        for (int32_t k = 0; k < count && !touched; ++k) touched = overlaps(r, data->rects[k]);
        if (!touched) continue;
        presentDrawButton(pixels, pitch, surfaceWidth, surfaceHeight, r, child->caption,
                          child == capturedButton && capturedInside);
        if (count <= MaxRects) data->rects[count++] = SDL_Rect{r.x, r.y, r.width, r.height};
    }
    return count;
}

int32_t tileBands(const SoftWindow* window) {
    return (window->height + PresentTileRows - 1) / PresentTileRows;
}

// Writes a row copied into a held picture straight into the window surface.
bool copyRow(SoftWindow* window, int32_t x, int32_t y, const uint8_t* row, int32_t width) {
    SdlWindowData* data = dataOf(window);
    if (!data || !data->held || !data->surface) return false;
    SDL_Surface* target = data->staging ? data->staging : data->surface;
    uint8_t* to = static_cast<uint8_t*>(target->pixels) +
                  size_t(data->place.y + y) * size_t(target->pitch) + size_t(data->place.x + x) * 4;
    const int32_t band = y / PresentTileRows;
    if (!presentCopyRow(row, x, width, to, data->tiles + size_t(band) * size_t(data->tileColumns)))
        return false;
    if (data->dirtyFirst >= data->dirtyEnd) {
        data->dirtyFirst = band;
        data->dirtyEnd = band + 1;
    } else {
        if (band < data->dirtyFirst) data->dirtyFirst = band;
        if (band >= data->dirtyEnd) data->dirtyEnd = band + 1;
    }
    return true;
}

// Takes a new window surface (the first, or one made after a resize): its staging surface
// when its format is not 32-bit XRGB, where the picture goes, and who keeps the picture.
// A picture shown one to one is kept only in the surface; a scaled one by the soft layer,
// with a copy of what was presented. A new window's picture is black like the surface;
// any other is painted again. False when neither can be had.
bool adoptSurface(SoftWindow* window, SdlWindowData* data, SDL_Surface* surface, bool created) {
    data->surface = surface;
    data->redrawAll = true;
    if (data->staging) SDL_FreeSurface(data->staging);
    data->staging = nullptr;
    const uint32_t format = surface->format->format;
    if (format != SDL_PIXELFORMAT_RGB888 && format != SDL_PIXELFORMAT_ARGB8888)
        data->staging = SDL_CreateRGBSurfaceWithFormat(0, surface->w, surface->h, 32,
                                                       SDL_PIXELFORMAT_RGB888);
    placePicture(window, data, surface->w, surface->h);
    SDL_Surface* target = data->staging ? data->staging : surface;
    const SoftBitmap& picture = window->backing.bitmap;
    const size_t tileCount =
        size_t((picture.width + PresentTileWidth - 1) / PresentTileWidth) * size_t(tileBands(window));
    if (oneToOne(window, data) && !SDL_MUSTLOCK(target)) {
        if (!data->tiles) data->tiles = static_cast<uint8_t*>(std::calloc(tileCount, 1));
        if (data->tiles) {
            // What the surface held is gone: black, and the program paints it again.
            SDL_FillRect(target, nullptr, 0);
            data->tileColumns = (picture.width + PresentTileWidth - 1) / PresentTileWidth;
            data->dirtyFirst = data->dirtyEnd = 0;
            std::free(data->shadow);
            data->shadow = nullptr;
            data->held = true;
            if (!window->rowCopy) softTakeOverPicture(window, copyRow);
            if (!created) softRepaintWhole(window);
            return true;
        }
    }
    if (data->held) {
        if (!softKeepPicture(window)) return false;
        data->held = false;
        std::free(data->tiles);
        data->tiles = nullptr;
    }
    if (!data->shadow)
        data->shadow = static_cast<uint8_t*>(
            std::calloc(size_t(picture.stride) * size_t(picture.height), 1));
    return data->shadow != nullptr;
}

// Sends what changed in the window's picture to the screen.
void present(SoftWindow* window) {
    SdlWindowData* data = dataOf(window);
    // Once the end is requested nothing more is drawn: the host's window may be gone.
    if (!data || !data->window || window->destroyed || sdlTerminateRequested) return;
    const bool buttons = buttonsDirty;
    buttonsDirty = false;
    SDL_Surface* surface = SDL_GetWindowSurface(data->window);
    if (!surface) return;
    if (surface != data->surface && !adoptSurface(window, data, surface, false)) return;
    if (!data->redrawAll && !data->hasPending && !buttons) {
        if (data->exposed) SDL_UpdateWindowSurface(data->window);
        data->exposed = false;
        return;
    }
    SDL_Surface* target = data->staging ? data->staging : surface;
    if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0) return;
    uint8_t* pixels = static_cast<uint8_t*>(target->pixels);
    const SoftBitmap& picture = window->backing.bitmap;
    const bool direct = oneToOne(window, data);
    const PresentRect& place = data->place;
    int32_t count = 0;

    if (data->held) {
        // The surface already shows the picture: send what copies marked.
        if (data->redrawAll) {
            data->rects[count++] = SDL_Rect{0, 0, target->w, target->h};
            std::memset(data->tiles, 0, size_t(data->tileColumns) * size_t(tileBands(window)));
        } else if (data->dirtyFirst < data->dirtyEnd) {
            const int32_t n =
                presentTileRects(data->tiles, data->tileColumns, data->dirtyFirst, data->dirtyEnd,
                                 picture.width, picture.height, data->diff, MaxRects);
            for (int32_t i = 0; i < n; ++i) {
                const PresentRect& r = data->diff[i];
                data->rects[count++] = SDL_Rect{place.x + r.x, place.y + r.y, r.width, r.height};
            }
        }
        data->dirtyFirst = data->dirtyEnd = 0;
    } else if (data->redrawAll) {
        SDL_FillRect(target, nullptr, 0);
        const PresentRect whole = {0, 0, picture.width, picture.height};
        if (direct)
            presentConvert(picture.bits, picture.height, picture.stride, whole, pixels,
                           target->pitch, place.x, place.y);
        else if (reduced(window, data))
            presentConvertReduced(picture.bits, picture.width, picture.height, picture.stride,
                                  place, place, pixels, target->pitch);
        else
            presentConvertScaled(picture.bits, picture.width, picture.height, picture.stride,
                                 place, place, pixels, target->pitch);
        std::memcpy(data->shadow, picture.bits, size_t(picture.stride) * size_t(picture.height));
        data->rects[count++] = SDL_Rect{0, 0, target->w, target->h};
    } else if (data->hasPending) {
        const int32_t n = presentDiff(picture.bits, data->shadow, picture.width, picture.height,
                                      picture.stride, data->pending, data->diff, MaxRects);
        for (int32_t i = 0; i < n; ++i) {
            const PresentRect& r = data->diff[i];
            if (direct) {
                presentConvert(picture.bits, picture.height, picture.stride, r, pixels,
                               target->pitch, place.x + r.x, place.y + r.y);
                data->rects[count++] = SDL_Rect{place.x + r.x, place.y + r.y, r.width, r.height};
                continue;
            }
            int32_t x0, x1, y0, y1;
            const bool smaller = reduced(window, data);
            auto span = smaller ? presentReducedSpan : presentScaledSpan;
            span(r.x, r.x + r.width, picture.width, place.width, &x0, &x1);
            span(r.y, r.y + r.height, picture.height, place.height, &y0, &y1);
            if (x0 >= x1 || y0 >= y1) continue;
            const PresentRect dest = {place.x + x0, place.y + y0, x1 - x0, y1 - y0};
            (smaller ? presentConvertReduced : presentConvertScaled)(
                picture.bits, picture.width, picture.height, picture.stride, place, dest, pixels,
                target->pitch);
            data->rects[count++] = SDL_Rect{dest.x, dest.y, dest.width, dest.height};
        }
    }
    count = drawButtons(window, data, pixels, target->pitch, target->w, target->h, count,
                        buttons || data->redrawAll);
    if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
    if (data->staging)
        for (int32_t i = 0; i < count; ++i) {
            SDL_Rect r = data->rects[i];
            SDL_BlitSurface(data->staging, &r, surface, &r);
        }
    if (data->redrawAll || data->exposed)
        SDL_UpdateWindowSurface(data->window);
    else if (count > 0)
        SDL_UpdateWindowSurfaceRects(data->window, data->rects, count);
    data->redrawAll = false;
    data->exposed = false;
    data->hasPending = false;
    lastPresent = SDL_GetTicks();
}

SoftWindow* windowFor(uint32_t sdlId) {
    SoftWindow* main = softMainWindow();
    SdlWindowData* data = dataOf(main);
    if (data && data->window && SDL_GetWindowID(data->window) == sdlId) return main;
    return nullptr;
}

intptr_t packPoint(int32_t x, int32_t y) {
    return intptr_t(int32_t((uint32_t(y) & 0xFFFF) << 16 | (uint32_t(x) & 0xFFFF)));
}

// The window point of an SDL event in the picture's coordinates.
void pictureMouse(SoftWindow* window, int32_t x, int32_t y, int32_t* px, int32_t* py) {
    SdlWindowData* data = dataOf(window);
    if (data && oneToOne(window, data)) {
        *px = x - data->place.x;
        *py = y - data->place.y;
    } else if (data) {
        presentPictureCoordinates(data->place, window->width, window->height, x, y, px, py);
    } else {
        *px = x;
        *py = y;
    }
}

// Mouse key state as the Windows edition packs it into wParam.
uintptr_t mouseKeys(uint32_t buttons) {
    uintptr_t keys = 0;
    if (buttons & SDL_BUTTON_LMASK) keys |= 0x0001;
    if (buttons & SDL_BUTTON_RMASK) keys |= 0x0002;
    if (buttons & SDL_BUTTON_MMASK) keys |= 0x0010;
    const SDL_Keymod mod = SDL_GetModState();
    if (mod & KMOD_SHIFT) keys |= 0x0004;
    if (mod & KMOD_CTRL) keys |= 0x0008;
    return keys;
}

// The Windows virtual-key code of an SDL key (0xFF for keys without one here).
uint32_t virtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return uint32_t('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return uint32_t('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + uint32_t(key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61 + uint32_t(key - SDLK_KP_1);
    switch (key) {
    case SDLK_KP_0: return 0x60;
    case SDLK_BACKSPACE: return 0x08;
    case SDLK_TAB: return 0x09;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 0x0D;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 0x10;
    case SDLK_LCTRL: case SDLK_RCTRL: return 0x11;
    case SDLK_LALT: case SDLK_RALT: return 0x12;
    case SDLK_PAUSE: return 0x13;
    case SDLK_CAPSLOCK: return 0x14;
    case SDLK_ESCAPE: return 0x1B;
    case SDLK_SPACE: return 0x20;
    case SDLK_PAGEUP: return 0x21;
    case SDLK_PAGEDOWN: return 0x22;
    case SDLK_END: return 0x23;
    case SDLK_HOME: return 0x24;
    case SDLK_LEFT: return 0x25;
    case SDLK_UP: return 0x26;
    case SDLK_RIGHT: return 0x27;
    case SDLK_DOWN: return 0x28;
    case SDLK_INSERT: return 0x2D;
    case SDLK_DELETE: return 0x2E;
    case SDLK_LGUI: return 0x5B;
    case SDLK_RGUI: return 0x5C;
    default: return 0xFF;
    }
}

void keyDown(SoftWindow* window, const SDL_KeyboardEvent& key) {
    const uint32_t vk = virtualKey(key.keysym.sym);
    const bool alt = (key.keysym.mod & KMOD_ALT) != 0 || vk == 0x12;
    // Keys with Alt, and F10, are system keys.
    const bool system = alt || vk == 0x79;
    intptr_t lParam = 1 | intptr_t(key.keysym.scancode & 0xFF) << 16;
    if (alt) lParam |= intptr_t(1) << 29;
    if (key.repeat) lParam |= intptr_t(1) << 30;
    softPostMessage(softHandle(window), system ? WmSysKeyDown : WmKeyDown, vk, lParam);
    // Alt+F4 closes the window, as the default handling of the system key does.
    if (alt && vk == 0x73 && !key.repeat) softPostMessage(softHandle(window), WmClose, 0, 0);
}

void setButtonPressed(bool inside) {
    if (capturedInside == inside) return;
    capturedInside = inside;
    buttonsDirty = true;
}

void mouseButton(SoftWindow* window, const SDL_MouseButtonEvent& e, bool down) {
    int32_t x, y;
    pictureMouse(window, e.x, e.y, &x, &y);
    SoftWindow* child = softChildAt(window, x, y);
    if (child && (!child->visible || !isButton(child))) child = nullptr;
    if (e.button == SDL_BUTTON_LEFT) {
        if (down && child) {
            // The button takes the mouse until it is released, shown pressed while
            // the pointer stays over it.
            capturedButton = child;
            capturedInside = false;
            setButtonPressed(true);
            return;
        }
        if (!down && capturedButton) {
            SoftWindow* button = capturedButton;
            const bool click = child == button;
            setButtonPressed(false);
            capturedButton = nullptr;
            if (click && softWindow(button->parent))
                softPostMessage(button->parent, WmCommand, uintptr_t(uint32_t(button->id) & 0xFFFF),
                                intptr_t(reinterpret_cast<uintptr_t>(softHandle(button))));
            return;
        }
    }
    // Clicks on the button belong to the button, not to its parent.
    if (!down || child || capturedButton) return;
    const uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
    if (e.button == SDL_BUTTON_LEFT)
        softPostMessage(softHandle(window), WmLButtonDown, mouseKeys(buttons), packPoint(x, y));
    else if (e.button == SDL_BUTTON_RIGHT)
        softPostMessage(softHandle(window), WmRButtonDown, mouseKeys(buttons), packPoint(x, y));
}

void mouseMotion(SoftWindow* window, const SDL_MouseMotionEvent& e) {
    int32_t x, y;
    pictureMouse(window, e.x, e.y, &x, &y);
    SoftWindow* child = softChildAt(window, x, y);
    if (capturedButton) {
        setButtonPressed(child == capturedButton);
        return;
    }
    if (child && child->visible && isButton(child)) return;
    softPostMessage(softHandle(window), WmMouseMove, mouseKeys(e.state), packPoint(x, y));
}

// Posts where the pointer is now, as a movement inside the window's picture.
void reportPointer(SoftWindow* window) {
    SdlWindowData* data = dataOf(window);
    if (!data || !data->window) return;
    int gx = 0, gy = 0, wx = 0, wy = 0;
    const uint32_t buttons = SDL_GetGlobalMouseState(&gx, &gy);
    SDL_GetWindowPosition(data->window, &wx, &wy);
    int32_t x, y;
    pictureMouse(window, gx - wx, gy - wy, &x, &y);
    softPostMessage(softHandle(window), WmMouseMove, mouseKeys(buttons), packPoint(x, y));
}

void translate(const SDL_Event& e) {
    SoftWindow* window = nullptr;
    switch (e.type) {
    case SDL_WINDOWEVENT:
        window = windowFor(e.window.windowID);
        if (!window) return;
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            softPostMessage(softHandle(window), WmClose, 0, 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (!sdl.hackMode) softPostMessage(softHandle(window), WmKillFocus, 0, 0);
            break;
        case SDL_WINDOWEVENT_SHOWN:
            // SDL does not always report the pointer when a window appears; without a
            // first report the first movement would only set the reference point.
            if (!sdl.hackMode) reportPointer(window);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            dataOf(window)->exposed = true;
            platInvalidate(softHandle(window));
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESIZED:
            // The next present takes the new surface and fills it again.
            dataOf(window)->surface = nullptr;
            break;
        default:
            break;
        }
        return;
    case SDL_KEYDOWN:
        window = windowFor(e.key.windowID);
        if (window && !sdl.hackMode) keyDown(window, e.key);
        return;
    case SDL_MOUSEMOTION:
        window = windowFor(e.motion.windowID);
        if (window && !sdl.hackMode) mouseMotion(window, e.motion);
        return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        window = windowFor(e.button.windowID);
        if (window && !sdl.hackMode) mouseButton(window, e.button, e.type == SDL_MOUSEBUTTONDOWN);
        return;
    case SDL_MOUSEWHEEL: {
        window = windowFor(e.wheel.windowID);
        if (!window || sdl.hackMode) return;
        int gx = 0, gy = 0;
        const uint32_t buttons = SDL_GetGlobalMouseState(&gx, &gy);
        // The vertical and the horizontal wheel are different messages, as on Windows;
        // only the vertical one ends the saver.
        const int32_t turns[2] = {e.wheel.y, e.wheel.x};
        const uint32_t messages[2] = {WmMouseWheel, WmMouseHWheel};
        for (int k = 0; k < 2; ++k) {
            if (turns[k] == 0) continue;
            int32_t delta = turns[k] * 120;
            if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
            const uintptr_t wParam = uintptr_t(uint32_t(uint16_t(int16_t(delta))) << 16) |
                                     (mouseKeys(buttons) & 0xFFFF);
            softPostMessage(softHandle(window), messages[k], wParam, packPoint(gx, gy));
        }
        return;
    }
    default:
        return;
    }
}

}  // namespace

// ---- Hooks of the software window system -----------------------------------------------

void backendPumpEvents() {
    if (sdlTerminateRequested) {
        sdlTerminateRequested = 0;
        platPostQuitMessage(0);
    }
    SDL_Event e;
    while (SDL_PollEvent(&e)) translate(e);
    // Copies made outside a paint (the first black screen, the settings screen's own
    // copies) and button changes reach the screen here.
    if (SoftWindow* main = softMainWindow()) {
        SdlWindowData* data = dataOf(main);
        if (data && (data->redrawAll || data->exposed || buttonsDirty || !data->surface ||
                     (data->hasPending && SDL_GetTicks() - lastPresent >= PresentInterval)))
            present(main);
    }
}

void backendWaitEvents() { SDL_WaitEventTimeout(nullptr, 5); }

void backendWaitMessage(uint32_t timeoutMs) {
    if (sdlTerminateRequested) return;
    SDL_WaitEventTimeout(nullptr, int(timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFFu : timeoutMs));
}

void backendWindowCreated(SoftWindow* window) {
    if (window->parent) {
        buttonsDirty = true;
        return;
    }
    SdlWindowData* data = new (std::nothrow) SdlWindowData();
    if (!data) return;
    if (sdl.hostWindow) {
        data->window = sdl.hostWindow;
        data->host = true;
    } else {
        int x = window->x, y = window->y, width = window->width, height = window->height;
        uint32_t flags = SDL_WINDOW_HIDDEN;
        if (!(window->style & WsCaption)) flags |= SDL_WINDOW_BORDERLESS;
        // The narrow mode fills the desktop with the picture scaled up, and so does a
        // screen-sized window on a screen told smaller (or larger) than it is.
        const bool screenSized = width == sdl.screenWidth && height == sdl.screenHeight &&
                                 !(window->style & WsCaption);
        const bool resized = width != sdl.desktopWidth || height != sdl.desktopHeight;
        if ((sdl.scaledMode && width == 640 && height == 480) || (screenSized && resized)) {
            x = 0;
            y = 0;
            width = sdl.desktopWidth;
            height = sdl.desktopHeight;
            flags |= SDL_WINDOW_BORDERLESS;
        }
        data->window = SDL_CreateWindow("", x, y, width, height, flags);
        if (!data->window) {
            std::fprintf(stderr, "pellrun: cannot open a window: %s\n", SDL_GetError());
            delete data;
            return;
        }
        setTitle(data->window, window->caption);
    }
    data->redrawAll = true;
    window->backendData = data;
    // Taking the surface now lets the first copies go straight into it.
    if (SDL_Surface* surface = SDL_GetWindowSurface(data->window))
        adoptSurface(window, data, surface, true);
}

void backendWindowShown(SoftWindow* window, int showCommand) {
    if (window->parent) {
        buttonsDirty = true;
        return;
    }
    SdlWindowData* data = dataOf(window);
    if (!data || data->host) return;
    if (showCommand != 0) {
        SDL_ShowWindow(data->window);
        SDL_RaiseWindow(data->window);
    } else {
        SDL_HideWindow(data->window);
    }
    data->redrawAll = true;
}

void backendWindowDestroyed(SoftWindow* window) {
    if (window == capturedButton) capturedButton = nullptr;
    if (window->parent) {
        buttonsDirty = true;
        return;
    }
    SdlWindowData* data = dataOf(window);
    if (!data) return;
    if (data->staging) SDL_FreeSurface(data->staging);
    if (!data->host) SDL_DestroyWindow(data->window);
    std::free(data->shadow);
    std::free(data->tiles);
    delete data;
    window->backendData = nullptr;
}

void backendWindowChanged(SoftWindow* window, const PlatRect& area) {
    SdlWindowData* data = dataOf(window);
    if (!data || window->parent) return;
    if (area.left >= area.right || area.top >= area.bottom) return;
    if (!data->hasPending) {
        data->pending = area;
        data->hasPending = true;
        return;
    }
    PlatRect& p = data->pending;
    if (area.left < p.left) p.left = area.left;
    if (area.top < p.top) p.top = area.top;
    if (area.right > p.right) p.right = area.right;
    if (area.bottom > p.bottom) p.bottom = area.bottom;
}

void backendPaintDone(SoftWindow* window) {
    if (window->parent) return;
    SdlWindowData* data = dataOf(window);
    // A paint soon after the last present waits for the next pass of the message loop.
    if (data && !data->redrawAll && !data->exposed && SDL_GetTicks() - lastPresent < PresentInterval)
        return;
    present(window);
}
