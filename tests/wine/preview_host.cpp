// Stands in for the system's screen saver settings dialog: a window with a 152 x 112
// client area starts the saver given on the command line with "/p <its window number>".
// Run in a directory of its own; writes host.log: "version F|P|C|N|L|Q" (the saver's version
// resource as its file properties show it: file and product version, company, product,
// copyright, and the fixed file version), "pane X Y W H" (the client area on the screen)
// once the saver runs; when a file "close" appears, closes the window and adds
// "ended MS EXIT" (how long the saver took to end, -1 when not within 5 s, and its exit
// code). The exit code is 0 when all went through.
#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

void logVersion(FILE* logFile, const char* path) {
    DWORD unused = 0, size = GetFileVersionInfoSizeA(path, &unused);
    std::vector<char> block(size + 1);
    WORD* translation = nullptr;  // language, code page
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!size || !GetFileVersionInfoA(path, 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", (void**)&translation, &length) || !length ||
        !VerQueryValueA(block.data(), "\\", (void**)&fixed, &length)) {
        std::fprintf(logFile, "version none\n");
        return;
    }
    std::fprintf(logFile, "version ");
    for (const char* name : {"FileVersion", "ProductVersion", "CompanyName", "ProductName", "LegalCopyright"}) {
        char key[128];
        char* value = nullptr;
        std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], name);
        if (!VerQueryValueA(block.data(), key, (void**)&value, &length)) value = nullptr;
        std::fprintf(logFile, "%s|", value ? value : "");
    }
    std::fprintf(logFile, "%u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                 HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
}

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    if (message == WM_TIMER && GetFileAttributesA("close") != INVALID_FILE_ATTRIBUTES) DestroyWindow(window);
    return message == WM_DESTROY || message == WM_TIMER ? 0 : DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    FILE* logFile = std::fopen("host.log", "wb");
    if (!logFile) return 1;
    logVersion(logFile, commandLine);
    const HBRUSH teal = CreateSolidBrush(RGB(0, 128, 128));  // the uncovered pane
    const WNDCLASSA wc = {0, hostProc, 0, 0, instance, nullptr, nullptr, teal, nullptr, "PreviewHost"};
    RegisterClassA(&wc);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT outer = {0, 0, 152, 112};
    AdjustWindowRect(&outer, style, FALSE);
    HWND window = CreateWindowA("PreviewHost", "preview host", style, 100, 100, outer.right - outer.left,
                                outer.bottom - outer.top, nullptr, nullptr, instance, nullptr);
    if (!window) return 2;
    ShowWindow(window, SW_SHOW);

    char line[1200];
    std::snprintf(line, sizeof line, "\"%s\" /p %llu", commandLine,
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 3;
    POINT corner = {0, 0};
    ClientToScreen(window, &corner);
    std::fprintf(logFile, "pane %ld %ld 152 112\n", corner.x, corner.y);
    std::fflush(logFile);

    SetTimer(window, 1, 50, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    DWORD closed = GetTickCount(), waited = WaitForSingleObject(process.hProcess, 5000), exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    std::fprintf(logFile, "ended %ld %lu\n", waited == WAIT_OBJECT_0 ? long(GetTickCount() - closed) : -1L, exitCode);
    std::fclose(logFile);
    return waited == WAIT_OBJECT_0 ? 0 : 4;
}
