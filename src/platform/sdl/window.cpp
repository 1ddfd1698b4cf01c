// Windows of the sdl backend: the main window as SDL windows, SDL events turned into the
// program's messages, the push button drawn and clicked here, and presentation of the
// window picture (only what changed since the last present reaches the screen).
//
// The program's window is shown in one SDL window, or in one per monitor for the saver:
// each an output with its own placement of the picture, scaling tables and copy of what
// it presented last. A window shown one to one on one output keeps its picture only in
// the window surface: copies into it are written there row by row where they differ
// (marking tiles), and a present sends the marked tiles. Otherwise the soft layer keeps
// the picture, and each output compares it with its copy at each present and scales
// what changed.
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <iconv.h>
#include <poll.h>
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/sdl/sdl_backend.h"
#include "platform/soft/present_scale.h"
#include "platform/soft/soft.h"

namespace {

constexpr int32_t MaxRects = 64;
constexpr int32_t MaxOutputs = 8;
// The screen shows at most about 60 pictures a second: changes that come faster are
// gathered and sent together, at most this many milliseconds after the last present.
constexpr uint32_t PresentInterval = 15;
uint32_t lastPresent;
// Focus passing from one monitor's window to another's is not lost: with several, a loss
// counts once none of them has had the focus back for this long.
constexpr uint32_t FocusSettle = 250;
bool focusLeaving;
uint32_t focusLeftAt;

// One SDL window showing the picture: the host's, a monitor's, or an ordinary window.
struct SdlOutput {
    SDL_Window* window;
    bool black;                // shows black only (the other monitors with --monitors primary)
    int32_t left, top;         // its place on the desktop
    SDL_Surface* surface;      // the window surface the placement was made for
    SDL_Surface* staging;      // 32-bit pixels when the window surface has another format
    PresentRect place;         // where the picture shows in the window
    PresentScaler scaler;
    uint8_t* shadow;           // not held: the picture as last presented here
    PlatRect pending;          // changed since the last present
    bool hasPending;
    bool redrawAll;            // the surface must be filled again from the picture
    bool exposed;              // the screen lost what the surface holds
};

struct SdlWindowData {
    bool host;                 // the host's window: not ours to destroy
    bool screen;               // the saver's screens: pointer positions in desktop pixels
    int32_t desktopLeft, desktopTop;   // the top-left corner of all monitors
    bool held;                 // the picture is kept only in the one output's surface
    uint8_t* tiles;            // held: tiles written since the last present, 1 when marked
    int32_t tileColumns;
    int32_t dirtyFirst, dirtyEnd;  // held: the bands holding marked tiles
    int32_t outputCount;
    SdlOutput outputs[MaxOutputs];
    bool x11Looked;            // the outputs' window system was asked for (once they exist)
    Display* x11;              // their X connection; null elsewhere
};

// Scratch of one present.
PresentRect diffRects[MaxRects];
SDL_Rect sendRects[MaxRects + 1];

// The push button being held down with the left mouse button, and whether the pointer
// is over it now (it shows pressed only then).
SoftWindow* capturedButton;
bool capturedInside;
bool buttonsDirty;

SdlWindowData* dataOf(SoftWindow* window) {
    return window ? static_cast<SdlWindowData*>(window->backendData) : nullptr;
}

bool isButton(const SoftWindow* window) { return std::strcmp(window->className, "BUTTON") == 0; }

// Input ends nothing and reaches nothing in a host's hack or a window to watch.
bool inputIgnored() { return sdl.hackMode || sdl.options.window; }

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

bool oneToOne(const SoftWindow* window, const SdlOutput& o) {
    return o.place.width == window->width && o.place.height == window->height;
}

bool overlaps(const PresentRect& a, const SDL_Rect& b) {
    return a.x < b.x + b.w && b.x < a.x + a.width && a.y < b.y + b.h && b.y < a.y + a.height;
}

// Draws the visible push buttons of window into pixels; those that overlap an updated
// rectangle, or all when requested, are added to the rectangles to send.
int32_t drawButtons(SoftWindow* window, const SdlOutput& o, uint8_t* pixels, int32_t pitch,
                    int32_t surfaceWidth, int32_t surfaceHeight, int32_t count, bool all) {
    if (!oneToOne(window, o)) return count;
    for (int32_t i = 0;; ++i) {
        SoftWindow* child = softChild(window, i);
        if (!child) break;
        if (!child->visible || !isButton(child)) continue;
        const PresentRect r = {o.place.x + child->x, o.place.y + child->y, child->width, child->height};
        bool touched = all;
        for (int32_t k = 0; k < count && !touched; ++k) touched = overlaps(r, sendRects[k]);
        if (!touched) continue;
        presentDrawButton(pixels, pitch, surfaceWidth, surfaceHeight, r, child->caption,
                          child == capturedButton && capturedInside);
        if (count <= MaxRects) sendRects[count++] = SDL_Rect{r.x, r.y, r.width, r.height};
    }
    return count;
}

int32_t tileBands(const SoftWindow* window) {
    return (window->height + PresentTileRows - 1) / PresentTileRows;
}

// Writes a row copied into a held picture straight into the window surface.
bool copyRow(SoftWindow* window, int32_t x, int32_t y, const uint8_t* row, int32_t width) {
    SdlWindowData* data = dataOf(window);
    if (!data || !data->held || !data->outputs[0].surface) return false;
    const SdlOutput& o = data->outputs[0];
    SDL_Surface* target = o.staging ? o.staging : o.surface;
    uint8_t* to = static_cast<uint8_t*>(target->pixels) +
                  size_t(o.place.y + y) * size_t(target->pitch) + size_t(o.place.x + x) * 4;
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

// Takes an output's new window surface (the first, or one made after a resize): its
// staging surface when its format is not 32-bit XRGB, where the picture goes, and who
// keeps the picture. A picture shown one to one on the only output is kept only in the
// surface; otherwise by the soft layer, with a copy of what was presented here and the
// scaling tables for the size. A new window's picture is black like the surface; any
// other is painted again. False when neither can be had (the next present tries again).
bool adoptSurface(SoftWindow* window, SdlWindowData* data, SdlOutput& o, SDL_Surface* surface,
                  bool created) {
    o.surface = surface;
    o.redrawAll = true;
    if (o.staging) SDL_FreeSurface(o.staging);
    o.staging = nullptr;
    const uint32_t format = surface->format->format;
    if (format != SDL_PIXELFORMAT_RGB888 && format != SDL_PIXELFORMAT_ARGB8888)
        o.staging = SDL_CreateRGBSurfaceWithFormat(0, surface->w, surface->h, 32,
                                                    SDL_PIXELFORMAT_RGB888);
    if (o.black) return true;
    o.place = presentPlace(window->width, window->height, surface->w, surface->h, sdl.options.scale);
    SDL_Surface* target = o.staging ? o.staging : surface;
    const SoftBitmap& picture = window->backing.bitmap;
    const size_t tileCount =
        size_t((picture.width + PresentTileWidth - 1) / PresentTileWidth) * size_t(tileBands(window));
    if (data->outputCount == 1 && oneToOne(window, o) && !SDL_MUSTLOCK(target)) {
        if (!data->tiles) data->tiles = static_cast<uint8_t*>(std::calloc(tileCount, 1));
        if (data->tiles) {
            // What the surface held is gone: black, and the program paints it again.
            SDL_FillRect(target, nullptr, 0);
            data->tileColumns = (picture.width + PresentTileWidth - 1) / PresentTileWidth;
            data->dirtyFirst = data->dirtyEnd = 0;
            std::free(o.shadow);
            o.shadow = nullptr;
            data->held = true;
            if (!window->rowCopy) softTakeOverPicture(window, copyRow);
            if (!created) softRepaintWhole(window);
            return true;
        }
    }
    bool kept = !data->held || softKeepPicture(window);
    if (data->held && kept) {
        data->held = false;
        std::free(data->tiles);
        data->tiles = nullptr;
    }
    kept = kept && (oneToOne(window, o) || presentScalerPrepare(o.scaler, picture.width, picture.height,
                                                                o.place.width, o.place.height));
    if (kept && !o.shadow)
        o.shadow = static_cast<uint8_t*>(std::calloc(size_t(picture.stride) * size_t(picture.height), 1));
    if (!kept || !o.shadow) o.surface = nullptr;
    return o.surface != nullptr;
}

// Sends what changed in the window's picture to one output's screen.
void presentOutput(SoftWindow* window, SdlWindowData* data, SdlOutput& o, bool buttons) {
    SDL_Surface* surface = SDL_GetWindowSurface(o.window);
    if (!surface) return;
    if (surface != o.surface && !adoptSurface(window, data, o, surface, false)) return;
    if (!o.redrawAll && !o.hasPending && !buttons) {
        if (o.exposed) SDL_UpdateWindowSurface(o.window);
        o.exposed = false;
        return;
    }
    SDL_Surface* target = o.staging ? o.staging : surface;
    if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0) return;
    uint8_t* pixels = static_cast<uint8_t*>(target->pixels);
    const SoftBitmap& picture = window->backing.bitmap;
    const bool direct = oneToOne(window, o);
    const PresentRect& place = o.place;
    int32_t count = 0;

    if (data->held) {
        // The surface already shows the picture: send what copies marked.
        if (o.redrawAll) {
            sendRects[count++] = SDL_Rect{0, 0, target->w, target->h};
            std::memset(data->tiles, 0, size_t(data->tileColumns) * size_t(tileBands(window)));
        } else if (data->dirtyFirst < data->dirtyEnd) {
            const int32_t n =
                presentTileRects(data->tiles, data->tileColumns, data->dirtyFirst, data->dirtyEnd,
                                 picture.width, picture.height, diffRects, MaxRects);
            for (int32_t i = 0; i < n; ++i) {
                const PresentRect& r = diffRects[i];
                sendRects[count++] = SDL_Rect{place.x + r.x, place.y + r.y, r.width, r.height};
            }
        }
        data->dirtyFirst = data->dirtyEnd = 0;
    } else if (o.redrawAll) {
        SDL_FillRect(target, nullptr, 0);
        if (!o.black) {
            if (direct)
                presentConvert(picture.bits, picture.height, picture.stride,
                               PresentRect{0, 0, picture.width, picture.height}, pixels,
                               target->pitch, place.x, place.y);
            else
                presentScale(o.scaler, picture.bits, picture.stride,
                             PresentRect{0, 0, place.width, place.height}, pixels, target->pitch,
                             place.x, place.y);
            std::memcpy(o.shadow, picture.bits, size_t(picture.stride) * size_t(picture.height));
        }
        sendRects[count++] = SDL_Rect{0, 0, target->w, target->h};
    } else if (o.hasPending && !o.black) {
        const int32_t n = presentDiff(picture.bits, o.shadow, picture.width, picture.height,
                                      picture.stride, o.pending, diffRects, MaxRects);
        for (int32_t i = 0; i < n; ++i) {
            const PresentRect& r = diffRects[i];
            if (direct) {
                presentConvert(picture.bits, picture.height, picture.stride, r, pixels,
                               target->pitch, place.x + r.x, place.y + r.y);
                sendRects[count++] = SDL_Rect{place.x + r.x, place.y + r.y, r.width, r.height};
                continue;
            }
            // The screen pixels the changed ones show in, with the mixed edges around.
            int32_t x0, x1, y0, y1;
            presentScaledSpan(r.x, r.x + r.width, picture.width, place.width, &x0, &x1);
            presentScaledSpan(r.y, r.y + r.height, picture.height, place.height, &y0, &y1);
            if (x0 >= x1 || y0 >= y1) continue;
            presentScale(o.scaler, picture.bits, picture.stride, PresentRect{x0, y0, x1 - x0, y1 - y0},
                         pixels, target->pitch, place.x, place.y);
            sendRects[count++] = SDL_Rect{place.x + x0, place.y + y0, x1 - x0, y1 - y0};
        }
    }
    count = drawButtons(window, o, pixels, target->pitch, target->w, target->h, count,
                        buttons || o.redrawAll);
    if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
    if (o.staging)
        for (int32_t i = 0; i < count; ++i) {
            SDL_Rect r = sendRects[i];
            SDL_BlitSurface(o.staging, &r, surface, &r);
        }
    if (o.redrawAll || o.exposed)
        SDL_UpdateWindowSurface(o.window);
    else if (count > 0)
        SDL_UpdateWindowSurfaceRects(o.window, sendRects, count);
    o.redrawAll = false;
    o.exposed = false;
    o.hasPending = false;
}

// Sends what changed in the window's picture to the screens.
void present(SoftWindow* window) {
    SdlWindowData* data = dataOf(window);
    // Once the end is requested nothing more is drawn: the host's window may be gone.
    if (!data || window->destroyed || sdlTerminateRequested) return;
    const bool buttons = buttonsDirty;
    buttonsDirty = false;
    for (int32_t i = 0; i < data->outputCount; ++i) presentOutput(window, data, data->outputs[i], buttons);
    lastPresent = SDL_GetTicks();
}

// An output whose screen must be filled now, not with the next gathered changes.
bool outputWaiting(const SdlWindowData* data) {
    for (int32_t i = 0; i < data->outputCount; ++i) {
        const SdlOutput& o = data->outputs[i];
        if (o.redrawAll || o.exposed || !o.surface) return true;
    }
    return false;
}

bool changesWaiting(const SdlWindowData* data) {
    for (int32_t i = 0; i < data->outputCount; ++i)
        if (data->outputs[i].hasPending) return true;
    return false;
}

// The program's window and the output an SDL window belongs to.
SoftWindow* windowFor(uint32_t sdlId, SdlOutput** output) {
    SoftWindow* main = softMainWindow();
    SdlWindowData* data = dataOf(main);
    if (!data) return nullptr;
    for (int32_t i = 0; i < data->outputCount; ++i) {
        SdlOutput& o = data->outputs[i];
        if (o.window && SDL_GetWindowID(o.window) == sdlId) {
            *output = &o;
            return main;
        }
    }
    return nullptr;
}

bool holdsFocus(SoftWindow* window) {
    SdlWindowData* data = dataOf(window);
    SDL_Window* focus = SDL_GetKeyboardFocus();
    for (int32_t i = 0; data && focus && i < data->outputCount; ++i)
        if (data->outputs[i].window == focus) return true;
    return false;
}

intptr_t packPoint(int32_t x, int32_t y) {
    return intptr_t(int32_t((uint32_t(y) & 0xFFFF) << 16 | (uint32_t(x) & 0xFFFF)));
}

// Where point (x, y) of an output's window is, as the window procedure gets it. The
// saver's screens report desktop pixels from the top-left corner of all monitors: the
// 5-pixel rule then counts screen pixels, alike on every monitor, and the point first
// reported on one monitor is the reference for movements on all. Other windows report
// the picture point (their push button is clicked there).
void pointAt(SoftWindow* window, const SdlOutput& o, int32_t x, int32_t y, int32_t* px,
             int32_t* py) {
    const SdlWindowData* data = dataOf(window);
    if (data->screen) {
        *px = o.left + x - data->desktopLeft;
        *py = o.top + y - data->desktopTop;
    } else if (oneToOne(window, o)) {
        *px = x - o.place.x;
        *py = y - o.place.y;
    } else {
        presentPictureCoordinates(o.place, window->width, window->height, x, y, px, py);
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

void mouseButton(SoftWindow* window, const SdlOutput& o, const SDL_MouseButtonEvent& e, bool down) {
    int32_t x, y;
    pointAt(window, o, e.x, e.y, &x, &y);
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

void mouseMotion(SoftWindow* window, const SdlOutput& o, const SDL_MouseMotionEvent& e) {
    int32_t x, y;
    pointAt(window, o, e.x, e.y, &x, &y);
    SoftWindow* child = softChildAt(window, x, y);
    if (capturedButton) {
        setButtonPressed(child == capturedButton);
        return;
    }
    if (child && child->visible && isButton(child)) return;
    softPostMessage(softHandle(window), WmMouseMove, mouseKeys(e.state), packPoint(x, y));
}

// Posts where the pointer is now, as a movement in the window.
void reportPointer(SoftWindow* window, const SdlOutput& o) {
    int gx = 0, gy = 0, wx = 0, wy = 0;
    const uint32_t buttons = SDL_GetGlobalMouseState(&gx, &gy);
    SDL_GetWindowPosition(o.window, &wx, &wy);
    int32_t x, y;
    pointAt(window, o, gx - wx, gy - wy, &x, &y);
    softPostMessage(softHandle(window), WmMouseMove, mouseKeys(buttons), packPoint(x, y));
}

void windowEvent(SoftWindow* window, SdlOutput& o, const SDL_WindowEvent& e) {
    switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
        softPostMessage(softHandle(window), WmClose, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        if (inputIgnored()) break;
        if (dataOf(window)->outputCount == 1) {
            softPostMessage(softHandle(window), WmKillFocus, 0, 0);
        } else {
            focusLeaving = true;
            focusLeftAt = SDL_GetTicks();
        }
        break;
    case SDL_WINDOWEVENT_SHOWN:
        // SDL does not always report the pointer when a window appears; without a
        // first report the first movement would only set the reference point.
        if (!inputIgnored()) reportPointer(window, o);
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        o.exposed = true;
        platInvalidate(softHandle(window));
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESIZED:
        // The next present takes the new surface and fills it again.
        o.surface = nullptr;
        break;
    default:
        break;
    }
}

void translate(const SDL_Event& e) {
    SdlOutput* o = nullptr;
    SoftWindow* window = nullptr;
    switch (e.type) {
    case SDL_WINDOWEVENT:
        window = windowFor(e.window.windowID, &o);
        if (window) windowEvent(window, *o, e.window);
        return;
    case SDL_KEYDOWN:
        window = windowFor(e.key.windowID, &o);
        if (!window) return;
        if (!inputIgnored())
            keyDown(window, e.key);
        else if (sdl.options.window && e.key.keysym.sym == SDLK_F4 && (e.key.keysym.mod & KMOD_ALT))
            // A window to watch closes on Alt+F4 also where no window manager does it.
            softPostMessage(softHandle(window), WmClose, 0, 0);
        return;
    case SDL_MOUSEMOTION:
        window = windowFor(e.motion.windowID, &o);
        if (window && !inputIgnored()) mouseMotion(window, *o, e.motion);
        return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        window = windowFor(e.button.windowID, &o);
        if (window && !inputIgnored()) mouseButton(window, *o, e.button, e.type == SDL_MOUSEBUTTONDOWN);
        return;
    case SDL_MOUSEWHEEL: {
        window = windowFor(e.wheel.windowID, &o);
        if (!window || inputIgnored()) return;
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

// The saver's screens: one borderless window at the bounds of each monitor (display 0
// is the primary), black but for the primary with --monitors primary. False when not
// even the first can be opened.
bool openScreens(SdlWindowData* data, const char* caption) {
    int displays = SDL_GetNumVideoDisplays();
    if (displays < 1) displays = 1;
    if (displays > MaxOutputs) displays = MaxOutputs;
    for (int i = 0; i < displays; ++i) {
        SDL_Rect b;
        if (SDL_GetDisplayBounds(i, &b) != 0) {
            if (i > 0) continue;
            b = SDL_Rect{0, 0, sdl.desktopWidth, sdl.desktopHeight};
        }
        SdlOutput& o = data->outputs[data->outputCount];
        o.window = SDL_CreateWindow("", b.x, b.y, b.w, b.h, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
        if (!o.window) {
            std::fprintf(stderr, "pellrun: cannot open a window on monitor %d: %s\n", i + 1, SDL_GetError());
            if (i == 0) return false;
            continue;
        }
        setTitle(o.window, caption);
        o.black = sdl.options.primaryOnly && i > 0;
        o.left = b.x;
        o.top = b.y;
        if (data->outputCount == 0 || b.x < data->desktopLeft) data->desktopLeft = b.x;
        if (data->outputCount == 0 || b.y < data->desktopTop) data->desktopTop = b.y;
        ++data->outputCount;
    }
    return true;
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
    SoftWindow* main = softMainWindow();
    if (focusLeaving && main) {
        if (holdsFocus(main)) {
            focusLeaving = false;
        } else if (SDL_GetTicks() - focusLeftAt >= FocusSettle) {
            focusLeaving = false;
            softPostMessage(softHandle(main), WmKillFocus, 0, 0);
        }
    }
    // Copies made outside a paint (the first black screen, the settings screen's own
    // copies) and button changes reach the screen here.
    if (SdlWindowData* data = dataOf(main))
        if (outputWaiting(data) || buttonsDirty ||
            (changesWaiting(data) && SDL_GetTicks() - lastPresent >= PresentInterval))
            present(main);
}

void backendWaitEvents() { SDL_WaitEventTimeout(nullptr, 5); }

// Shortens a wait to end when `interval` ms have passed since `since`.
static void endWaitAt(uint32_t& timeoutMs, uint32_t since, uint32_t interval) {
    const uint32_t passed = SDL_GetTicks() - since;
    const uint32_t left = passed < interval ? interval - passed : 0;
    if (left < timeoutMs) timeoutMs = left;
}

void backendWaitMessage(uint32_t timeoutMs) {
    if (sdlTerminateRequested) return;
    // Changes held back for the present interval are sent when it is over, and a focus
    // loss counts once it has settled: the wait ends then, and the loop's next look at
    // the queue does either.
    SdlWindowData* data = dataOf(softMainWindow());
    if (data && changesWaiting(data)) endWaitAt(timeoutMs, lastPresent, PresentInterval);
    if (focusLeaving) endWaitAt(timeoutMs, focusLeftAt, FocusSettle);
    if (timeoutMs > 0x7FFFFFFFu) timeoutMs = 0x7FFFFFFFu;
    if (data && !data->x11Looked && data->outputs[0].window) {
        data->x11Looked = true;
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (SDL_GetWindowWMInfo(data->outputs[0].window, &info) && info.subsystem == SDL_SYSWM_X11)
            data->x11 = info.info.x11.display;
    }
    if (!data || !data->x11) {
        SDL_WaitEventTimeout(nullptr, int(timeoutMs));
        return;
    }
    // On X the wait is on the connection itself: SDL's own wait would go on through the
    // end request's signal. The signal is let in only during the wait, so one that comes
    // after the last look at the request still ends it.
    Display* display = data->x11;
    sigset_t ends, before;
    sigemptyset(&ends);
    sigaddset(&ends, SIGTERM);
    sigaddset(&ends, SIGINT);
    pthread_sigmask(SIG_BLOCK, &ends, &before);
    if (!sdlTerminateRequested && !SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) &&
        XEventsQueued(display, QueuedAfterFlush) == 0) {
        pollfd connection = {ConnectionNumber(display), POLLIN, 0};
        const timespec timeout = {time_t(timeoutMs / 1000), long(timeoutMs % 1000) * 1000000L};
        ppoll(&connection, 1, &timeout, &before);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

void backendWindowCreated(SoftWindow* window) {
    if (window->parent) {
        buttonsDirty = true;
        return;
    }
    SdlWindowData* data = new (std::nothrow) SdlWindowData();
    if (!data) return;
    SdlOutput& first = data->outputs[0];
    if (sdl.hostWindow) {
        first.window = sdl.hostWindow;
        data->host = true;
        data->outputCount = 1;
    } else if (window->style & WsCaption) {
        first.window = SDL_CreateWindow("", window->x, window->y, window->width, window->height,
                                        SDL_WINDOW_HIDDEN);
        if (first.window) setTitle(first.window, window->caption);
        data->outputCount = first.window ? 1 : 0;
    } else if (sdl.options.window) {
        // An ordinary window to watch the meeting in, filled as it is resized.
        first.window = SDL_CreateWindow("Pellrun", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        800, 640, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
        data->outputCount = first.window ? 1 : 0;
    } else {
        data->screen = openScreens(data, window->caption);
    }
    if (data->outputCount == 0) {
        std::fprintf(stderr, "pellrun: cannot open a window: %s\n", SDL_GetError());
        delete data;
        return;
    }
    window->backendData = data;
    for (int32_t i = 0; i < data->outputCount; ++i) {
        SdlOutput& o = data->outputs[i];
        o.redrawAll = true;
        // Taking the surface now lets the first copies go straight into it.
        if (SDL_Surface* surface = SDL_GetWindowSurface(o.window)) adoptSurface(window, data, o, surface, true);
    }
}

void backendWindowShown(SoftWindow* window, int showCommand) {
    if (window->parent) {
        buttonsDirty = true;
        return;
    }
    SdlWindowData* data = dataOf(window);
    if (!data || data->host) return;
    // The primary monitor's window last, to be on top with the focus.
    for (int32_t i = data->outputCount - 1; i >= 0; --i) {
        SdlOutput& o = data->outputs[i];
        if (showCommand != 0) {
            SDL_ShowWindow(o.window);
            SDL_RaiseWindow(o.window);
        } else {
            SDL_HideWindow(o.window);
        }
        o.redrawAll = true;
    }
}

void backendWindowDestroyed(SoftWindow* window) {
    if (window == capturedButton) capturedButton = nullptr;
    if (window->parent) {
        buttonsDirty = true;
        return;
    }
    SdlWindowData* data = dataOf(window);
    if (!data) return;
    for (int32_t i = 0; i < data->outputCount; ++i) {
        SdlOutput& o = data->outputs[i];
        if (o.staging) SDL_FreeSurface(o.staging);
        if (!data->host) SDL_DestroyWindow(o.window);
        std::free(o.shadow);
        presentScalerRelease(o.scaler);
    }
    std::free(data->tiles);
    delete data;
    window->backendData = nullptr;
    focusLeaving = false;
}

void backendWindowChanged(SoftWindow* window, const PlatRect& area) {
    SdlWindowData* data = dataOf(window);
    if (!data || window->parent) return;
    if (area.left >= area.right || area.top >= area.bottom) return;
    for (int32_t i = 0; i < data->outputCount; ++i) {
        SdlOutput& o = data->outputs[i];
        if (!o.black) presentGrow(o.pending, o.hasPending, area);
    }
}

void backendPaintDone(SoftWindow* window) {
    if (window->parent) return;
    SdlWindowData* data = dataOf(window);
    // A paint soon after the last present waits for the next pass of the message loop.
    if (data && !outputWaiting(data) && SDL_GetTicks() - lastPresent < PresentInterval) return;
    present(window);
}
