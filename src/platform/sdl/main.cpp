// Entry of the Linux edition: the command line as the Windows edition gets it, or the
// screen-saver host's conventions (--root, $XSCREENSAVER_WINDOW), then the game.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <X11/Xlib.h>

#include "pellrun_version.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/sdl_sound.h"
#include "platform/soft/soft.h"

SdlBackend sdl;
volatile std::sig_atomic_t sdlTerminateRequested;

static void onTerminate(int) { sdlTerminateRequested = 1; }

// The host destroys its window when it ends the saver, maybe before the end request
// has been seen: drawing into a window that is gone ends the run quietly instead of
// with the X library's message and exit.
static int onXError(Display*, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable ||
        error->error_code == BadMatch)
        sdlTerminateRequested = 1;
    return 0;
}

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
    // "--version" prints the version and starts nothing, whatever else the line holds.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("pellrun %s\n", PELLRUN_VERSION);
            return 0;
        }
    // The host's options are taken out; the rest is the command line as the Windows
    // edition gets it.
    static char line[4096];
    // A line too long to hold is not cut short (a cut line could open the settings
    // screen and write the settings): it starts nothing.
    if (!hostParseOptions(argc, argv, sdl.options, line, sizeof line)) return 0;
    const size_t used = std::strlen(line);
    const bool root = sdl.options.root || sdl.options.hasWindowId;
    {
        char exe[1024];
        const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n > 0) {
            exe[n] = 0;
            if (char* slash = std::strrchr(exe, '/')) *slash = 0;
            std::snprintf(sdl.exeDir, sizeof sdl.exeDir, "%s", exe);
        }
    }

    const char* hostWindow = std::getenv("XSCREENSAVER_WINDOW");
    bool hasHostWindow = sdl.options.hasWindowId || (hostWindow && *hostWindow);
    // --window runs the saver's scenes in a window of its own, wherever it is started.
    if (sdl.options.window) hasHostWindow = false;
    sdl.hackMode = !sdl.options.window && (root || (hasHostWindow && used == 0));
    if (sdl.hackMode || sdl.options.window) std::strcpy(line, "/s");

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
    if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) XSetErrorHandler(onXError);
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
        sdl.hostWindowId = sdl.options.hasWindowId ? sdl.options.windowId
                                                   : std::strtoull(hostWindow, nullptr, 16);
        sdl.hostWindow =
            SDL_CreateWindowFrom(reinterpret_cast<const void*>(uintptr_t(sdl.hostWindowId)));
        if (!sdl.hostWindow)
            std::fprintf(stderr, "pellrun: cannot draw into window 0x%llx: %s\n",
                         (unsigned long long)sdl.hostWindowId, SDL_GetError());
    }
    sdlUpdateScreenSize();
    // One hack runs per monitor: the first to take the sound lock plays music and
    // effects, the others stay quiet.
    int soundLock = -1;
    char soundLockPath[1024] = "";
    if (sdl.hackMode) {
        soundLock = sdlTakeLock("pellrun-sound.lock", soundLockPath, sizeof soundLockPath);
        sdl.quiet = soundLock == SdlLockHeld;
        if (sdl.quiet) sdlSoundDisable();
    }

    int code = pellrunMain(line, 1);
    // The settings screen ends with 1 when its settings could not be saved.
    const bool settings = !sdl.hackMode && (line[0] == 0 || line[1] == 'c' || line[1] == 'C');
    if (settings && code != 0)
        std::fprintf(stderr, "pellrun: the settings were not saved: %s\n",
                     softSaveFailure()[0] ? softSaveFailure() : "there is no folder to keep them in");
    sdlDropLock(soundLock, soundLockPath);
    if (sdl.hostWindow) SDL_DestroyWindow(sdl.hostWindow);
    // The window is gone and the instance marker released: end now. SDL_Quit would
    // wait for the audio thread and tear down the synthesizer and the display
    // connection, which the system does at once when the process ends.
    std::fflush(nullptr);
    _exit(code);
}
