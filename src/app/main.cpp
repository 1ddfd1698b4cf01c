#include <cstring>

#include "app/preview.h"
#include "core/settings.h"
#include "app/startup.h"
#include "app/window.h"
#include "race/scenes.h"

static const char* const InstanceMarker = "ORRIN_APPLICATION_GROUP_PELLRUNXP01";

int pellrunMain(const char* commandLine, int show) {
    commandLineText = commandLine ? commandLine : "";
    showCommand = show;

    // The host's preview pane runs beside the real saver, so it takes no instance marker.
    uintptr_t preview = previewWindowNumber(commandLineText);
    MarkerHandle marker = nullptr;
    if (!preview) {
        bool alreadyRunning = false;
        marker = platCreateMarker(InstanceMarker, &alreadyRunning);
        if (alreadyRunning) {
            if (marker) platReleaseMarker(marker);
            return 0;
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

    int exitCode = 0;
    if (scene != SceneQuit) {
        PlatMessage message = {};
        // After each frame the loop waits until one frame period has passed since the
        // frame began, or until input or a posted message wakes it. It then serves what
        // is waiting, the repaint the frame asked for too, and, while the scenes have
        // nothing to do (between the ticks of a fade, the board's clock within its
        // second), waits on in the same way until the next frame is due. Time is compared
        // as elapsed ticks, so the 32-bit wrap of the tick count changes nothing.
        bool frameRunning = false;
        uint32_t frameStart = 0;
        uint32_t period = 0;
        uint32_t due = 0;   // from frameStart to the next frame, a whole number of periods
        bool look = true;   // false after a wait that found the queue empty
        for (;;) {
            if (look && platPeekMessage()) {
                int got = platGetMessage(message);
                if (got != 1) break;
                platTranslateMessage(message);
                platDispatchMessage(message);
                continue;
            }
            look = true;
            if (scene == SceneSettings) {
                frameRunning = false;
                platSleep(10);
                continue;
            }
            if (frameRunning) {
                uint32_t elapsed = platTickCount() - frameStart;
                if (elapsed < due) {
                    look = platWaitMessage(due - elapsed);
                    continue;
                }
            }
            frameStart = platTickCount();
            period = framePeriod(scene);
            if (stepScenes() == 0) break;
            due = nextFrameDue(frameStart, period);
            frameRunning = true;
            uint32_t elapsed = platTickCount() - frameStart;
            if (elapsed < period) look = platWaitMessage(period - elapsed);
        }
        exitCode = int(message.wParam);
        // Settings that could not be saved end the program with 1.
        if (!shutDown(mainWindow) && exitCode == 0) exitCode = 1;
    }
    if (marker) platReleaseMarker(marker);
    return exitCode;
}
