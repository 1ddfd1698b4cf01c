#include <cstring>

#include "app/preview.h"
#include "core/settings.h"
#include "app/startup.h"
#include "app/window.h"
#include "race/scenes.h"

static const char* const InstanceMarker = "ORRIN_APPLICATION_GROUP_PELLRUNXP01";

namespace {

// The loop between its passes.
struct MainLoop {
    MarkerHandle marker;
    bool started;   // a mode was started: shut down at the end
    bool running;
    PlatMessage message;
    bool frameRunning;
    uint32_t frameStart;
    uint32_t period;
    uint32_t due;   // from frameStart to the next frame, a whole number of periods
};
MainLoop loop;

}  // namespace

bool pellrunBegin(const char* commandLine, int show) {
    loop = MainLoop();
    commandLineText = commandLine ? commandLine : "";
    showCommand = show;

    // The host's preview pane runs beside the real saver, so it takes no instance marker.
    uintptr_t preview = previewWindowNumber(commandLineText);
    if (!preview) {
        bool alreadyRunning = false;
        loop.marker = platCreateMarker(InstanceMarker, &alreadyRunning);
        if (alreadyRunning) {
            if (loop.marker) platReleaseMarker(loop.marker);
            loop.marker = nullptr;
            return false;
        }
    }

    // The mode is chosen from the first two bytes exactly, with no trimming.
    const char* text = commandLineText;
    if (text[0] == '/' && (text[1] == 's' || text[1] == 'S'))
        startUp(ModeScreenSaver);
    else if ((text[0] == '/' && (text[1] == 'c' || text[1] == 'C')) || text[0] == 0)
        startUp(ModeSettings);
    else if (preview && platIsWindow(reinterpret_cast<WindowHandle>(preview))) {
        previewParent = reinterpret_cast<WindowHandle>(preview);
        startUp(ModePreview);
    } else
        scene = SceneQuit;
    loop.started = loop.running = scene != SceneQuit;
    return loop.running;
}

// After each frame the loop waits until one frame period has passed since the frame
// began, or until input or a posted message wakes it. It then serves what is waiting, the
// repaint the frame asked for too, and, while the scenes have nothing to do (between the
// ticks of a fade, the board's clock within its second), waits on in the same way until
// the next frame is due. Time is compared as elapsed ticks, so the 32-bit wrap of the
// tick count changes nothing.
int32_t pellrunPass(bool look, uint32_t* waitMs) {
    *waitMs = 0;
    if (!loop.running) return PellrunEnded;
    for (;;) {
        if (look && platPeekMessage()) {
            int got = platGetMessage(loop.message);
            if (got != 1) break;
            platTranslateMessage(loop.message);
            platDispatchMessage(loop.message);
            continue;
        }
        look = true;
        if (scene == SceneSettings) {
            loop.frameRunning = false;
            *waitMs = 10;
            return PellrunSleep;
        }
        if (loop.frameRunning) {
            uint32_t elapsed = platTickCount() - loop.frameStart;
            if (elapsed < loop.due) {
                *waitMs = loop.due - elapsed;
                return PellrunWaitMessage;
            }
        }
        loop.frameStart = platTickCount();
        loop.period = framePeriod(scene);
        if (stepScenes() == 0) break;
        loop.due = nextFrameDue(loop.frameStart, loop.period);
        loop.frameRunning = true;
        uint32_t elapsed = platTickCount() - loop.frameStart;
        if (elapsed < loop.period) *waitMs = loop.period - elapsed;
        return PellrunWaitMessage;
    }
    loop.running = false;
    return PellrunEnded;
}

int pellrunEnd() {
    int exitCode = 0;
    if (loop.started) {
        exitCode = int(loop.message.wParam);
        // Settings that could not be saved end the program with 1.
        if (!shutDown(mainWindow) && exitCode == 0) exitCode = 1;
    }
    if (loop.marker) platReleaseMarker(loop.marker);
    loop = MainLoop();
    return exitCode;
}

int pellrunMain(const char* commandLine, int show) {
    if (pellrunBegin(commandLine, show)) {
        bool look = true;   // false after a wait that found the queue empty
        uint32_t ms = 0;
        for (int32_t wait; (wait = pellrunPass(look, &ms)) != PellrunEnded;) {
            look = true;
            if (wait == PellrunSleep)
                platSleep(ms);
            else if (ms > 0)
                look = platWaitMessage(ms);
        }
    }
    return pellrunEnd();
}
