// Entry of the web edition. The page hands over its URL's settings as the Linux
// edition's options (--seed 7 --speed 3 ...), --fast for the virtual clock and /c for the
// settings screen; the program then runs a pass at a time from the browser's timers:
// after each pass the page shows what changed, keeps the line of a race that ended, and
// comes back when the loop's wait is over. With fast on the waits pass at once, and the
// page only lets the browser draw and take input every few milliseconds.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstring>

#include "platform/web/web.h"

void webListen();

namespace {

// How long a run of passes on the virtual clock may keep the browser waiting.
constexpr double FastSliceMs = 12;

char line[4096];

EM_JS(void, webRaceLine, (const char* text), { Module.page.raceLine(UTF8ToString(text)); });
EM_JS(void, webEnded, (bool settings), { Module.page.ended(settings); });
// Comes back at once, after the browser has had its turn (a timer would wait at least 4 ms).
EM_JS(void, webYield, (), { Module.page.yieldThen(Module._webRun); });

void keepRaceLine() {
    if (const char* text = pellrunRaceLine()) {
        char copy[2048];
        std::strncpy(copy, text, sizeof copy - 1);
        copy[sizeof copy - 1] = 0;
        if (char* end = std::strchr(copy, '\n')) *end = 0;
        webRaceLine(copy);
    }
}

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE void webRun() {
    const double started = emscripten_get_now();
    for (;;) {
        uint32_t ms = 0;
        const int32_t wait = pellrunPass(true, &ms);
        keepRaceLine();
        if (wait == PellrunEnded) {
            webPresent();
            pellrunEnd();
            webEnded(web.settingsMode);
            return;
        }
        if (web.fast) {
            web.virtualTick += ms;
            if (emscripten_get_now() - started < FastSliceMs) continue;
            webPresent();
            webYield();
            return;
        }
        // A frame that took its whole period is followed at once by the next pass.
        if (ms == 0 && emscripten_get_now() - started < FastSliceMs) continue;
        webPresent();
        emscripten_set_timeout([](void*) { webRun(); }, ms, nullptr);
        return;
    }
}

int main(int argc, char** argv) {
    // --fast and /c are the page's own; the rest are the Linux edition's options.
    char* options[64];
    int count = 0;
    for (int i = 0; i < argc && count < 64; ++i) {
        if (std::strcmp(argv[i], "--fast") == 0)
            web.fast = true;
        else if (std::strcmp(argv[i], "/c") == 0)
            web.settingsMode = true;
        else
            options[count++] = argv[i];
    }
    hostParseOptions(count, options, web.options, line, sizeof line);
    web.virtualTick = WebVirtualStartTick;
    webListen();
    if (!pellrunBegin(web.settingsMode ? "/c" : "/s", 1)) {
        pellrunEnd();
        return 0;
    }
    webRun();
    return 0;
}
