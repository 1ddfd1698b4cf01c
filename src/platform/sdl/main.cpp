// Entry of the Linux edition: the command line as the Windows edition gets it, or the
// screen-saver host's conventions (--root, $XSCREENSAVER_WINDOW), then the game.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"

SdlBackend sdl;
volatile std::sig_atomic_t sdlTerminateRequested;

static void onTerminate(int) { sdlTerminateRequested = 1; }

// The modes that open a window: "/s", "/c" (either case) or nothing at all.
static bool opensWindow(const char* line) {
    if (line[0] == 0) return true;
    return line[0] == '/' && (line[1] == 's' || line[1] == 'S' || line[1] == 'c' || line[1] == 'C');
}

static bool displayUsable() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver) return false;
    return std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0 &&
           SDL_GetNumVideoDisplays() > 0;
}

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // Blocks of 256 KB and more (pictures, the soundfont's samples, converted sounds) get
    // mappings of their own, given back to the system when freed. glibc would otherwise
    // raise this threshold after the first large block is freed, and later large blocks
    // would come from the heap, where freed space stays resident.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
    // The arguments after the program name, joined by spaces; the host's --root is
    // taken out and noted.
    static char line[4096];
    size_t used = 0;
    bool root = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--root") == 0 || std::strcmp(argv[i], "-root") == 0) {
            root = true;
            continue;
        }
        size_t n = std::strlen(argv[i]);
        // A line too long to hold is not cut short (an empty or cut line could open the
        // settings screen and write the settings): it starts nothing.
        if (used + n + 2 > sizeof line) return 0;
        if (used) line[used++] = ' ';
        std::memcpy(line + used, argv[i], n);
        used += n;
    }
    line[used] = 0;

    const char* hostWindow = std::getenv("XSCREENSAVER_WINDOW");
    bool hasHostWindow = hostWindow && *hostWindow;
    sdl.hackMode = root || (hasHostWindow && used == 0);
    if (sdl.hackMode) std::strcpy(line, "/s");

    // A command line that opens nothing ends at once, display or not.
    if (!opensWindow(line)) return pellrunMain(line, 1);

    // Keys only end the saver or press the settings buttons; no text is typed, so the X
    // input method needs no compose table (the locale's default one takes about 0.5 MB).
    // A table the user names is still used.
    setenv("XCOMPOSEFILE", "/dev/null", 0);
    // The signals end the run through the message queue, not through SDL's own handler.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The window surface goes straight to the window system (shared memory on X11);
    // the OpenGL route costs far more where OpenGL is rendered in software.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0 || !displayUsable()) {
        std::fprintf(stderr, "pellrun: no display to show the screen saver on\n");
        SDL_Quit();
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    SDL_DisplayMode mode = {};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        mode.w = 1024;
        mode.h = 768;
    }
    sdl.desktopWidth = mode.w;
    sdl.desktopHeight = mode.h;
    sdl.refresh = mode.refresh_rate > 0 ? mode.refresh_rate : 60;

    if (sdl.hackMode && hasHostWindow) {
        sdl.hostWindowId = std::strtoull(hostWindow, nullptr, 16);
        sdl.hostWindow =
            SDL_CreateWindowFrom(reinterpret_cast<const void*>(uintptr_t(sdl.hostWindowId)));
        if (!sdl.hostWindow)
            std::fprintf(stderr, "pellrun: cannot draw into window %s: %s\n", hostWindow,
                         SDL_GetError());
    }
    sdlUpdateScreenSize();

    int code = pellrunMain(line, 1);
    if (sdl.hostWindow) SDL_DestroyWindow(sdl.hostWindow);
    // The window is gone and the instance marker released: end now. SDL_Quit would
    // wait for the audio thread and tear down the synthesizer and the display
    // connection, which the system does at once when the process ends.
    std::fflush(nullptr);
    _exit(code);
}
