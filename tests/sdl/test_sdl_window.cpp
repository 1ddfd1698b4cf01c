// The Linux window layer: SDL events (pushed on the dummy video driver) become the
// messages the window procedure gets, the pointer mapped into the enlarged picture.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"

SdlBackend sdl;
volatile std::sig_atomic_t sdlTerminateRequested;

namespace {

using Msg = std::tuple<uint32_t, uintptr_t, intptr_t>;  // message, wParam, lParam

intptr_t keepOpen(WindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp) {
    return m == WmClose ? 0 : platDefWindowProc(w, m, wp, lp);
}

// Events at window point (261, 121), picture point (100, 50); every kind names its
// window in the same place.
SDL_Event event(uint32_t type, int32_t a = 0, int32_t b = 0, uint32_t c = 0) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_KEYDOWN) e.key.keysym.sym = a, e.key.keysym.mod = uint16_t(b), e.key.repeat = uint8_t(c);
    if (type == SDL_MOUSEMOTION) e.motion.state = uint32_t(a), e.motion.x = 261, e.motion.y = 121;
    if (type == SDL_MOUSEBUTTONDOWN || type == SDL_MOUSEBUTTONUP) e.button.button = uint8_t(a), e.button.x = 261, e.button.y = 121;
    if (type == SDL_MOUSEWHEEL) e.wheel.x = a, e.wheel.y = b, e.wheel.direction = c;
    if (type == SDL_WINDOWEVENT) e.window.event = uint8_t(a);
    return e;
}

TEST(SdlWindow, EventsBecomeWindowMessages) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    // A 640 x 480 screen on a 1400 x 1000 desktop: shown twice enlarged, 60 and 20 pixels in.
    sdl.desktopWidth = 1400, sdl.desktopHeight = 1000, sdl.screenWidth = 640, sdl.screenHeight = 480;
    platRegisterClass("Test", keepOpen, 0);
    WindowHandle main = platCreateWindow("Test", "", WsPopup, 0, 0, 640, 480, nullptr, 0);
    SDL_Window* shown = SDL_GetWindowFromID(1);
    ASSERT_TRUE(main && shown);
    const intptr_t at = 50 << 16 | 100, alt = 1 << 29, anywhere = -1;
    const struct {
        SDL_Event event;
        bool hack;
        std::vector<Msg> expect;
    } cases[] = {
        {event(SDL_KEYDOWN, SDLK_a), false, {{WmKeyDown, 'A', 1}}},
        {event(SDL_KEYDOWN, SDLK_7, 0, 1), false, {{WmKeyDown, '7', 1 | 1 << 30}}},
        {event(SDL_KEYDOWN, SDLK_KP_3), false, {{WmKeyDown, 0x63, 1}}},
        {event(SDL_KEYDOWN, SDLK_RIGHT), false, {{WmKeyDown, 0x27, 1}}},
        {event(SDL_KEYDOWN, SDLK_F10), false, {{WmSysKeyDown, 0x79, 1}}},
        {event(SDL_KEYDOWN, SDLK_F4, KMOD_LALT), false, {{WmSysKeyDown, 0x73, 1 | alt}, {WmClose, 0, 0}}},
        {event(SDL_KEYDOWN, SDLK_a), true, {}},
        {event(SDL_MOUSEMOTION, SDL_BUTTON_LMASK), false, {{WmMouseMove, 1, at}}},
        {event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT), false, {{WmLButtonDown, 0, at}}},
        {event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT), false, {{WmRButtonDown, 0, at}}},
        {event(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT), false, {}},
        {event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT), true, {}},
        {event(SDL_MOUSEWHEEL, 0, 1), false, {{WmMouseWheel, 120u << 16, anywhere}}},
        {event(SDL_MOUSEWHEEL, 0, 1, SDL_MOUSEWHEEL_FLIPPED), false, {{WmMouseWheel, 0xFF88u << 16, anywhere}}},
        {event(SDL_MOUSEWHEEL, 2, 0), false, {{WmMouseHWheel, 240u << 16, anywhere}}},
        {event(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_LOST), false, {{WmKillFocus, 0, 0}}},
        {event(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_LOST), true, {}},
        {event(SDL_WINDOWEVENT, SDL_WINDOWEVENT_CLOSE), true, {{WmClose, 0, 0}}},
    };
    for (int other = 0; other < 2; ++other)  // then the same events for another window
        for (const auto& c : cases) {
            SDL_Event e = c.event;
            e.window.windowID = SDL_GetWindowID(shown) + uint32_t(other);
            sdl.hackMode = c.hack;
            ASSERT_EQ(SDL_PushEvent(&e), 1);
            std::vector<Msg> got;
            PlatMessage m;
            while (platPeekMessage() && platGetMessage(m) > 0) {
                if (m.message != WmPaint) got.emplace_back(m.message, m.wParam, m.message >= WmMouseWheel ? anywhere : m.lParam);
                EXPECT_EQ(m.window, main);
                platDispatchMessage(m);
            }
            EXPECT_EQ(got, other ? std::vector<Msg>{} : c.expect) << e.type << " " << e.key.keysym.sym;
        }
    platDestroyWindow(main);
    SDL_Quit();
}

}  // namespace
