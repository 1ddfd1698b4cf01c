// Windows, the message queue, the cursor, the desktop and display modes.
#include "platform/platform.h"
#include "platform/win32/win32.h"

static HWND toHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
static WindowHandle toWindow(HWND hwnd) { return reinterpret_cast<WindowHandle>(hwnd); }

// ---- Window procedures --------------------------------------------------------------
// The game's procedure has its own signature; each registered class gets one slot
// whose trampoline passes the message numbers through unchanged.
enum { ProcSlots = 8 };
static WindowProc gameProcs[ProcSlots];

template <int Slot>
static LRESULT CALLBACK trampoline(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return gameProcs[Slot](toWindow(hwnd), message, wParam, lParam);
}

static const WNDPROC trampolines[ProcSlots] = {
    trampoline<0>, trampoline<1>, trampoline<2>, trampoline<3>,
    trampoline<4>, trampoline<5>, trampoline<6>, trampoline<7>,
};

int platRegisterClass(const char* className, WindowProc proc, int iconId) {
    if (!proc) return 0;
    int slot = 0;
    while (slot < ProcSlots && gameProcs[slot] && gameProcs[slot] != proc) ++slot;
    if (slot == ProcSlots) return 0;

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = 0;
    wc.lpfnWndProc = trampolines[slot];
    wc.hInstance = programInstance;
    wc.hIcon = iconId != 0 ? LoadIconA(programInstance, MAKEINTRESOURCEA(iconId)) : nullptr;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;
    wc.lpszClassName = className;
    if (!RegisterClassExA(&wc)) return 0;
    gameProcs[slot] = proc;
    return 1;
}

// ---- Message queue ---------------------------------------------------------------------
// The last message taken from the queue, whole (time and cursor position included), so
// that translating and dispatching it hands Windows the record it gave out.
static MSG lastMessage;

static MSG toMsg(const PlatMessage& message) {
    if (lastMessage.hwnd == toHwnd(message.window) && lastMessage.message == message.message &&
        lastMessage.wParam == message.wParam && lastMessage.lParam == message.lParam)
        return lastMessage;
    MSG msg = {};
    msg.hwnd = toHwnd(message.window);
    msg.message = message.message;
    msg.wParam = message.wParam;
    msg.lParam = message.lParam;
    return msg;
}

bool platPeekMessage() {
    MSG msg;
    return PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) != 0;
}

// The tick count moves in steps of the system clock interval (15.6 ms on Windows, 16 ms
// under Wine), so a deadline on its scale is only reached at a step; waking before that
// step would find it not yet due and wait again. The time-out is rounded up to whole
// steps. A repaint does not end the wait.
static uint32_t tickStepMicroseconds() {
    static uint32_t step;
    if (!step) {
        DWORD adjustment = 0, increment = 0;
        BOOL disabled = FALSE;
        bool known = GetSystemTimeAdjustment(&adjustment, &increment, &disabled) &&
                     increment >= 5000 && increment <= 200000;   // 100 ns units
        step = known ? uint32_t(increment / 10) : 1000;
    }
    return step;
}

// A repaint this program asked for and has not yet served. While there is one the wait
// leaves paint out of what wakes it (the loop serves it after the wait); while there is
// none, a repaint the system asks for wakes it.
bool ownRepaintPending;

bool platWaitMessage(uint32_t timeoutMs) {
    const uint64_t step = tickStepMicroseconds();
    const uint64_t wanted = uint64_t(timeoutMs) * 1000;
    const uint64_t rounded = (wanted + step - 1) / step * step;
    uint64_t wait = (rounded + 999) / 1000;
    if (wait > 0x7FFFFFFEu) wait = 0x7FFFFFFEu;
    const DWORD wake = ownRepaintPending ? (QS_ALLINPUT & ~QS_PAINT) : QS_ALLINPUT;
    const DWORD result = MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(wait), wake);
    return result != WAIT_TIMEOUT || ownRepaintPending;
}

int platGetMessage(PlatMessage& message) {
    BOOL result = GetMessageA(&lastMessage, nullptr, 0, 0);
    message.window = toWindow(lastMessage.hwnd);
    message.message = lastMessage.message;
    message.wParam = lastMessage.wParam;
    message.lParam = lastMessage.lParam;
    if (result == -1) return -1;
    return result != 0 ? 1 : 0;
}

void platTranslateMessage(const PlatMessage& message) {
    MSG msg = toMsg(message);
    TranslateMessage(&msg);
}

intptr_t platDispatchMessage(const PlatMessage& message) {
    MSG msg = toMsg(message);
    return DispatchMessageA(&msg);
}

void platPostQuitMessage(int exitCode) { PostQuitMessage(exitCode); }

intptr_t platDefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) {
    return DefWindowProcA(toHwnd(window), message, wParam, lParam);
}

// ---- Windows -----------------------------------------------------------------------------
int platAdjustWindowRect(PlatRect& rect, uint32_t style) {
    RECT r = {rect.left, rect.top, rect.right, rect.bottom};
    if (!AdjustWindowRectEx(&r, style, FALSE, 0)) return 0;
    rect.left = r.left;
    rect.top = r.top;
    rect.right = r.right;
    rect.bottom = r.bottom;
    return 1;
}

// ---- Covers of the other monitors -----------------------------------------------------------
// A top-level popup that fills its monitor is a full-screen window (the saver's). Every
// monitor it does not reach gets a black cover of the same caption: owned by it, so it stays
// above it and goes when it goes, never active, so the focus stays with the full-screen
// window. A cover hands its mouse and key input to that window's own procedure, positions
// mapped into its client area, so the same rules (the grace period, the 5-pixel move) hold
// across monitors.
static const char* const CoverClass = "WND_COVER";

static LRESULT CALLBACK coverProc(HWND cover, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND owner = GetWindow(cover, GW_OWNER);
    const bool mouse = message >= WM_MOUSEFIRST && message <= WM_MOUSELAST;
    const bool keys = message >= WM_KEYFIRST && message <= WM_KEYLAST;
    if (owner && mouse && message != WM_MOUSEWHEEL && message != WM_MOUSEHWHEEL) {
        POINT at = {short(LOWORD(lParam)), short(HIWORD(lParam))};
        MapWindowPoints(cover, owner, &at, 1);
        return SendMessageA(owner, message, wParam, MAKELPARAM(at.x, at.y));
    }
    // Keys, and wheels, whose positions are the screen's.
    if (owner && (mouse || keys)) return SendMessageA(owner, message, wParam, lParam);
    if (message == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
    return DefWindowProcA(cover, message, wParam, lParam);
}

struct CoverRequest {
    HWND owner;
    RECT covered;   // the owner's rectangle
    const char* caption;
};

static BOOL CALLBACK coverMonitor(HMONITOR, HDC, LPRECT monitor, LPARAM data) {
    const CoverRequest& request = *reinterpret_cast<const CoverRequest*>(data);
    RECT overlap;
    if (IntersectRect(&overlap, monitor, &request.covered)) return TRUE;
    HWND cover = CreateWindowExA(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, CoverClass, request.caption, WS_POPUP,
                                 monitor->left, monitor->top, monitor->right - monitor->left,
                                 monitor->bottom - monitor->top, request.owner, nullptr, programInstance,
                                 nullptr);
    if (cover) ShowWindow(cover, SW_SHOWNOACTIVATE);
    return TRUE;
}

static void coverOtherMonitors(HWND window, const char* caption) {
    CoverRequest request = {window, {}, caption};
    MONITORINFO own = {};
    own.cbSize = sizeof own;
    RECT overlap;
    if (!GetWindowRect(window, &request.covered) ||
        !GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &own) ||
        !IntersectRect(&overlap, &own.rcMonitor, &request.covered) || !EqualRect(&overlap, &own.rcMonitor))
        return;   // not full screen
    static bool registered;
    if (!registered) {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = coverProc;
        wc.hInstance = programInstance;
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = CoverClass;
        registered = RegisterClassExA(&wc) != 0;
    }
    if (registered) EnumDisplayMonitors(nullptr, nullptr, coverMonitor, reinterpret_cast<LPARAM>(&request));
}

// Wine's ntdll exports its version; Windows' does not.
static bool runningOnWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

WindowHandle platCreateWindow(const char* className, const char* caption, uint32_t style,
                              int x, int y, int width, int height, WindowHandle parent,
                              int id) {
    HWND owner = toHwnd(parent);
    HMENU menu = nullptr;
    DWORD exStyle = 0;
    bool showQuietly = false;
    // A child's id travels in the menu argument.
    if (owner && (style & WS_CHILD)) menu = reinterpret_cast<HMENU>(static_cast<intptr_t>(id));
    DWORD process = 0;
    if (owner && (style & WS_CHILD) && GetWindowThreadProcessId(owner, &process) &&
        process != GetCurrentProcessId() && runningOnWine()) {
        // Wine shows nothing of a child window inside another process's window: lay a
        // popup over the parent's client area instead, owned by it so that it stays above
        // it, and never taking the focus from it.
        POINT corner = {x, y};
        ClientToScreen(owner, &corner);
        x = corner.x;
        y = corner.y;
        style = (style & ~(WS_CHILD | WS_VISIBLE)) | WS_POPUP;
        exStyle = WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
        menu = nullptr;
        showQuietly = true;
    }
    // Every window belongs to this program's module, where its class is registered, also
    // when its parent belongs to another program.
    HWND hwnd = CreateWindowExA(exStyle, className, caption, style, x, y, width, height, owner,
                                menu, programInstance, nullptr);
    if (hwnd && showQuietly) ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    if (hwnd && !owner && (style & WS_POPUP)) coverOtherMonitors(hwnd, caption);
    return toWindow(hwnd);
}

void platShowWindow(WindowHandle window, int showCommand) {
    ShowWindow(toHwnd(window), showCommand);
}

void platDestroyWindow(WindowHandle window) { DestroyWindow(toHwnd(window)); }

void platInvalidate(WindowHandle window) {
    if (InvalidateRect(toHwnd(window), nullptr, FALSE)) ownRepaintPending = true;
}

bool platIsWindow(WindowHandle window) { return window && IsWindow(toHwnd(window)); }

bool platClientSize(WindowHandle window, int& width, int& height) {
    RECT r = {};
    width = height = 0;
    if (!GetClientRect(toHwnd(window), &r)) return false;
    width = r.right - r.left;
    height = r.bottom - r.top;
    return true;
}

int platSetTimer(WindowHandle window, uintptr_t id, uint32_t period) {
    return SetTimer(toHwnd(window), id, period, nullptr) != 0 ? 1 : 0;
}

void platInvalidateRows(WindowHandle window, int top, int bottom) {
    if (top >= bottom) return;
    RECT client;
    if (!GetClientRect(toHwnd(window), &client)) return;
    RECT rows = {client.left, top, client.right, bottom};
    if (InvalidateRect(toHwnd(window), &rows, FALSE)) ownRepaintPending = true;
}

int platShowCursor(bool show) { return ShowCursor(show ? TRUE : FALSE); }

void platDesktopSize(int& width, int& height) {
    RECT r = {};
    GetWindowRect(GetDesktopWindow(), &r);
    width = r.right;
    height = r.bottom;
}

// ---- Display modes ------------------------------------------------------------------------
void platScreenInfo(int& depth, int& width, int& height, int& refresh) {
    HDC dc = GetDC(nullptr);
    depth = GetDeviceCaps(dc, BITSPIXEL);
    width = GetDeviceCaps(dc, HORZRES);
    height = GetDeviceCaps(dc, VERTRES);
    refresh = GetDeviceCaps(dc, VREFRESH);
    ReleaseDC(nullptr, dc);
}

bool platEnumDisplayMode(uint32_t index, DisplayMode& mode) {
    DEVMODEA dm = {};
    dm.dmSize = sizeof(dm);
    if (!EnumDisplaySettingsA(nullptr, index, &dm)) return false;
    mode.bitsPerPel = dm.dmBitsPerPel;
    mode.width = dm.dmPelsWidth;
    mode.height = dm.dmPelsHeight;
    mode.frequency = dm.dmDisplayFrequency;
    return true;
}

int platChangeDisplay(const DisplayMode* mode, bool testOnly) {
    if (!mode) return ChangeDisplaySettingsA(nullptr, 0);
    DEVMODEA dm = {};
    dm.dmSize = sizeof(dm);
    // The depth is carried along but not among the fields: it is never changed.
    dm.dmBitsPerPel = mode->bitsPerPel;
    dm.dmPelsWidth = mode->width;
    dm.dmPelsHeight = mode->height;
    dm.dmDisplayFrequency = mode->frequency;
    dm.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    return ChangeDisplaySettingsA(&dm, testOnly ? CDS_TEST : 0);
}
