// The Linux window layer: SDL events (pushed on the dummy video driver) become the messages the
// window procedure gets, the saver's pointer in desktop pixels; a host's hack and a window to watch take
// no input (its keys, moves and closing: check_sdl_screens.sh), and the window closes on Alt+F4.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "gfx/surface.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"

SdlBackend sdl;
volatile std::sig_atomic_t sdlTerminateRequested;

namespace {

using Msg = std::tuple<uint32_t, uintptr_t, intptr_t>;  // message, wParam, lParam

intptr_t keepOpen(WindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp) {
    return m == WmClose ? 0 : platDefWindowProc(w, m, wp, lp);
}

// Events at window point (261, 121); every kind names its window in the same place.
SDL_Event event(uint32_t type, int32_t a = 0, int32_t b = 0, uint32_t c = 0) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_KEYDOWN) e.key.keysym.sym = a, e.key.keysym.mod = uint16_t(b), e.key.repeat = uint8_t(c);
    if (type == SDL_MOUSEMOTION) e.motion.state = uint32_t(a), e.motion.x = 261, e.motion.y = 121;
    if (type == SDL_MOUSEBUTTONDOWN || type == SDL_MOUSEBUTTONUP)
        e.button.button = uint8_t(a), e.button.x = 261, e.button.y = 121;
    if (type == SDL_MOUSEWHEEL) e.wheel.x = a, e.wheel.y = b, e.wheel.direction = c;
    if (type == SDL_WINDOWEVENT) e.window.event = uint8_t(a);
    return e;
}

TEST(SdlWindow, EventsBecomeWindowMessages) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    // A 640 x 480 picture filling the dummy driver's monitor: the saver's pointer stays in
    // desktop pixels, so 5 of them are a movement however much the picture is enlarged.
    sdl.desktopWidth = 1024, sdl.desktopHeight = 768, sdl.screenWidth = 640, sdl.screenHeight = 480;
    platRegisterClass("Test", keepOpen, 0);
    WindowHandle main = platCreateWindow("Test", "", WsPopup, 0, 0, 640, 480, nullptr, 0);
    SDL_Window* shown = SDL_GetWindowFromID(1);
    ASSERT_TRUE(main && shown);
    const intptr_t at = 121 << 16 | 261, alt = 1 << 29, anywhere = -1;
    const struct {
        SDL_Event event;
        int mode;   // 0 the saver, 1 a host's hack, 2 a window to watch
        std::vector<Msg> expect;
    } cases[] = {
        {event(SDL_KEYDOWN, SDLK_a), 0, {{WmKeyDown, 'A', 1}}},
        {event(SDL_KEYDOWN, SDLK_7, 0, 1), 0, {{WmKeyDown, '7', 1 | 1 << 30}}},
        {event(SDL_KEYDOWN, SDLK_KP_3), 0, {{WmKeyDown, 0x63, 1}}},
        {event(SDL_KEYDOWN, SDLK_RIGHT), 0, {{WmKeyDown, 0x27, 1}}},
        {event(SDL_KEYDOWN, SDLK_F10), 0, {{WmSysKeyDown, 0x79, 1}}},
        {event(SDL_KEYDOWN, SDLK_F4, KMOD_LALT), 0, {{WmSysKeyDown, 0x73, 1 | alt}, {WmClose, 0, 0}}},
        {event(SDL_KEYDOWN, SDLK_a), 1, {}},
        {event(SDL_MOUSEMOTION, SDL_BUTTON_LMASK), 0, {{WmMouseMove, 1, at}}},
        {event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT), 0, {{WmLButtonDown, 0, at}}},
        {event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT), 0, {{WmRButtonDown, 0, at}}},
        {event(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT), 0, {}},
        {event(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT), 1, {}},
        {event(SDL_MOUSEWHEEL, 0, 1), 0, {{WmMouseWheel, 120u << 16, anywhere}}},
        {event(SDL_MOUSEWHEEL, 0, 1, SDL_MOUSEWHEEL_FLIPPED), 0, {{WmMouseWheel, 0xFF88u << 16, anywhere}}},
        {event(SDL_MOUSEWHEEL, 2, 0), 0, {{WmMouseHWheel, 240u << 16, anywhere}}},
        {event(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_LOST), 0, {{WmKillFocus, 0, 0}}},
        {event(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_LOST), 1, {}},
        {event(SDL_WINDOWEVENT, SDL_WINDOWEVENT_CLOSE), 1, {{WmClose, 0, 0}}},
        {event(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_LOST), 2, {}},
    };
    for (int other = 0; other < 2; ++other)  // then the same events for another window
        for (const auto& c : cases) {
            SDL_Event e = c.event;
            e.window.windowID = SDL_GetWindowID(shown) + uint32_t(other);
            sdl.hackMode = c.mode == 1;
            sdl.options.window = c.mode == 2;
            ASSERT_EQ(SDL_PushEvent(&e), 1);
            std::vector<Msg> got;
            PlatMessage m;
            while (platPeekMessage() && platGetMessage(m) > 0) {
                const intptr_t lParam = m.message >= WmMouseWheel ? anywhere : m.lParam;
                if (m.message != WmPaint) got.emplace_back(m.message, m.wParam, lParam);
                EXPECT_EQ(m.window, main);
                platDispatchMessage(m);
            }
            EXPECT_EQ(got, other ? std::vector<Msg>{} : c.expect) << e.type << " " << e.key.keysym.sym;
        }
    // A picture copied in just after another is held back for the present interval; a
    // long wait for input ends when it is due, so it is not shown only once the wait is over.
    Surface picture{};
    createSurface(picture, platGetDC(main), 640, 480, 24);
    for (uint32_t colour : {0x102030u, 0x405060u}) {
        drawRect(picture, 0, 0, 639, 479, colour, RectFill);
        platBitBlt(platGetDC(main), 0, 0, 640, 480, picture.hdc, 0, 0);
        platPeekMessage();  // presents the first at once and holds the second back
    }
    const uint32_t start = SDL_GetTicks();
    platWaitMessage(3000);
    EXPECT_LT(SDL_GetTicks() - start, 1500u);
    releaseSurface(picture);
    platDestroyWindow(main);
    SDL_Quit();
}

}  // namespace
