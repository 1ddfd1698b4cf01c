#include "app/startup.h"

#include "app/preview.h"
#include "core/settings.h"
#include "app/settings_screen.h"
#include "app/window.h"
#include "gfx/present.h"
#include "race/board.h"
#include "race/race.h"
#include "race/random.h"
#include "race/roster.h"
#include "race/scenes.h"
#include "sound/cues.h"
#include "sound/music.h"

int32_t mode640;
int32_t modeAtStart;
int32_t refreshAtStart;
// The display was switched to 640 x 480; only then is there anything to restore.
static bool displaySwitched;

static const char* const MainClass = "WND_MAIN";
// "Pellrun" followed by the katakana for "screen saver" and "XP", in Shift-JIS.
static const char* const Caption =
    "Pellrun\x83\x58\x83\x4E\x83\x8A\x81\x5B\x83\x93\x83\x5A\x81\x5B\x83\x6F\x81\x5BXP";
constexpr int32_t IconId = 108;
constexpr uint32_t SettingsStyle = WsCaption | WsSysMenu | WsMinimizeBox;

int32_t desktopSize(int& width, int& height) {
    platDesktopSize(width, height);
    return 1;
}

int32_t changeDisplay(int32_t action) {
    if (action == 0) {
        int depth = 0, width = 0, height = 0, refresh = 0;
        platScreenInfo(depth, width, height, refresh);
        refreshAtStart = refresh;
        // -1: no such mode; the switch and the restore then change nothing.
        mode640 = modeAtStart = -1;
        DisplayMode m;
        for (uint32_t i = 0; platEnumDisplayMode(i, m); ++i) {
            if (m.bitsPerPel != uint32_t(depth)) continue;
            if (m.width == 640 && m.height == 480) mode640 = int32_t(i);
            if (m.width == uint32_t(width) && m.height == uint32_t(height)) modeAtStart = int32_t(i);
        }
        return 1;
    }
    if (action != 1 && !displaySwitched) return 0;
    const int32_t index = action == 1 ? mode640 : modeAtStart;
    DisplayMode m;
    if (index < 0 || !platEnumDisplayMode(uint32_t(index), m)) {
        // A switched display whose starting mode was not among those listed goes back
        // to the mode the system keeps for it.
        if (action == 1 || platChangeDisplay(nullptr, false) != DispChangeSuccessful) return 0;
        displaySwitched = false;
        return 1;
    }
    m.frequency = uint32_t(refreshAtStart);
    // Only a mode the test accepts is set; a refused or failing one leaves the display
    // as it is, and start-up keeps the desktop size.
    if (platChangeDisplay(&m, true) != DispChangeSuccessful) return 0;
    platChangeDisplay(&m, false);
    displaySwitched = action == 1;
    return 1;
}

int32_t startUp(int32_t mode) {
    platDataFolder(dataDir, sizeof dataDir);

    pellrunSrand(uint32_t(platCalendarSeconds()));
    const bool preview = (mode & 0xFF) == ModePreview;
    if (!preview) changeDisplay(0);
    desktopSize(screenWidth, screenHeight);
    setDefaultSettings();
    readSettings();

    if ((mode & 0xFF) == ModeSettings) {
        scene = SceneSettings;
        createMainWindow(mainWindow, windowDC, MainClass, Caption, IconId, SettingsStyle, 448, 320,
                         -1, -1);
        createSurface(screenSurface, windowDC, 448, 320, 24);
        createSurface(sheetSurface, windowDC, 920, 320, 24);
        loadBitmapResource(sheetSurface, 107);
        nearestChoices();
        drawSettingsScreen();
        platBitBlt(windowDC, 0, 0, 448, 320, screenSurface.hdc, 0, 0);
        createButton(okButton, mainWindow, "OK", 0, 160, 40, 144, 275);
        return 1;
    }

    // The saver runs with the settings given for this run where there are any.
    RunSettings given;
    platRunSettings(given);
    if (given.speed >= 0) speed = given.speed;
    if (given.interval >= 0) interval = given.interval;
    if (given.music >= 0) music = given.music;
    if (given.antiAlias >= 0) antiAlias = given.antiAlias;

    if (preview) {
        // The whole playfield, scaled into the pane; silent: no song or effect file is
        // ever found.
        music = 1;
        dataDir[0] = 0;
        screenWidth = PlayfieldWidth;
        screenHeight = PlayfieldHeight;
    } else if (fullScreen == 0 && changeDisplay(1) == 1) {
        screenWidth = 640;
        screenHeight = 480;
    }
    resetScenes();
    prepareRoster();
    if (screenWidth >= PlayfieldWidth) {
        originX = (screenWidth - PlayfieldWidth) / 2;
        originY = (screenHeight - PlayfieldHeight) / 2;
    } else {
        originX = -1;
    }
    viewX = viewY = 0;
    if (screenWidth >= 640 && screenWidth < PlayfieldWidth) {
        viewX = (screenWidth - 640) / 2;
        if (screenHeight > 480) viewY = (screenHeight - 480) / 2;
    }
    if (preview) {
        if (!startPreview()) {
            scene = SceneQuit;
            return 0;
        }
    } else {
        createMainWindow(mainWindow, windowDC, MainClass, Caption, IconId, WsPopup, screenWidth,
                         screenHeight, 0, 0);
        platShowCursor(false);
    }

    createSurface(screenSurface, windowDC, screenWidth, screenHeight, 24);
    createSurface(logoSurface, windowDC, 640, 480, 24);
    createSurface(frameSurface, windowDC, PlayfieldWidth, PlayfieldHeight, 24);
    createSurface(courseSurface, windowDC, PlayfieldWidth, PlayfieldHeight, 24);
    createSurface(sheetSurface, windowDC, 435, 1000, 24);
    drawRect(screenSurface, 0, 0, screenWidth - 1, screenHeight - 1, 0x000000, RectFill);
    drawRect(frameSurface, 0, 0, 799, 639, 0x000000, RectFill);
    drawRect(courseSurface, 0, 0, 799, 639, 0x000000, RectFill);
    loadBitmapResource(logoSurface, 104);
    loadBitmapResource(sheetSurface, 101);
    platBitBlt(windowDC, 0, 0, screenWidth, screenHeight, screenSurface.hdc, 0, 0);

    graceStartTick = platTickCount();
    lastMousePos = -1;
    return 1;
}

int32_t shutDown(WindowHandle window) {
    int32_t saved = 1;
    if (scene == SceneSettings) {
        releaseSurface(screenSurface);
        releaseSurface(sheetSurface);
        saved = writeSettings();
    } else {
        const bool preview = previewParent != nullptr;
        if (!preview) platShowCursor(true);
        if (fullScreen == 0 && !preview) changeDisplay(2);
        closeMusic();
        silenceEffects();
        releaseSurface(screenSurface);
        releaseSurface(logoSurface);
        releaseSurface(frameSurface);
        releaseSurface(courseSurface);
        releaseSurface(sheetSurface);
        if (preview) releaseSurface(previewSurface);
    }
    platReleaseDC(window, windowDC);
    platDestroyWindow(window);
    return saved;
}

void resetDisplayModes() {
    mode640 = modeAtStart = refreshAtStart = 0;
    displaySwitched = false;
}

void resetProgramState() {
    resetSettingsState();
    resetMainWindow();
    resetWindowState();
    resetDisplayModes();
    resetPresentation();
    resetScenes();
    resetRunners();
    resetBoard();
    resetRace();
    pellrunSrand(0);
}
