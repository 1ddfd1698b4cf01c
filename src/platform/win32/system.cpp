// Kernel services: clock, local time, current directory, files, the instance marker.
#include "platform/platform.h"
#include "platform/win32/win32.h"

#include <cstdio>
#include <ctime>

uint32_t platTickCount() { return GetTickCount(); }

void platSleep(uint32_t milliseconds) { Sleep(milliseconds); }

void platLocalTime(LocalTime& time) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    time.year = st.wYear;
    time.month = st.wMonth;
    time.dayOfWeek = st.wDayOfWeek;
    time.day = st.wDay;
    time.hour = st.wHour;
    time.minute = st.wMinute;
    time.second = st.wSecond;
    time.milliseconds = st.wMilliseconds;
}

int64_t platCalendarSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

uint32_t platCurrentDirectory(char* buffer, uint32_t size) {
    if (size == 0) return 0;
    DWORD length = GetCurrentDirectoryA(size, buffer);
    // 0 is an error; a value of size or more is the length the buffer would need.
    if (length == 0 || length >= size) {
        buffer[0] = '\0';
        return 0;
    }
    return length;
}

// The data folder is "Data" under the current directory; with no usable current
// directory there is none (rather than a "\\Data\\" at the root of the drive).
uint32_t platDataFolder(char* buffer, uint32_t size) {
    if (!buffer || size == 0) return 0;
    buffer[0] = 0;
    char directory[1024];
    uint32_t length = platCurrentDirectory(directory, sizeof directory);
    if (length == 0) return 0;
    int n = std::snprintf(buffer, size, "%s\\Data\\", directory);
    if (n <= 0 || uint32_t(n) >= size) {
        buffer[0] = 0;
        return 0;
    }
    return uint32_t(n);
}

// The settings file lives in the data folder.
uint32_t platSettingsFile(const char* dataFolder, char* buffer, uint32_t size, bool) {
    if (!buffer || size == 0) return 0;
    buffer[0] = 0;
    if (!dataFolder || !dataFolder[0]) return 0;
    int n = std::snprintf(buffer, size, "%sSetup.ini", dataFolder);
    if (n <= 0 || uint32_t(n) >= size) {
        buffer[0] = 0;
        return 0;
    }
    return uint32_t(n);
}

static HANDLE toHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

FileHandle platFileOpen(const char* path, int mode) {
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           mode == FileCreateAlways ? CREATE_ALWAYS : OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return reinterpret_cast<FileHandle>(h);
}

int64_t platFileSeek(FileHandle file, int64_t position, bool fromEnd) {
    LONG high = static_cast<LONG>(position >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(toHandle(file), static_cast<LONG>(position & 0xFFFFFFFF),
                               &high, fromEnd ? FILE_END : FILE_BEGIN);
    // INVALID_SET_FILE_POINTER is also a valid low half; only the error code tells.
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
    return (static_cast<int64_t>(high) << 32) | low;
}

int platFileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* done) {
    DWORD n = 0;
    BOOL ok = ReadFile(toHandle(file), buffer, count, &n, nullptr);
    if (done) *done = n;
    return ok ? 1 : 0;
}

int platFileWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* done) {
    DWORD n = 0;
    BOOL ok = WriteFile(toHandle(file), buffer, count, &n, nullptr);
    if (done) *done = n;
    return ok ? 1 : 0;
}

uint32_t platFileSize(FileHandle file) { return GetFileSize(toHandle(file), nullptr); }

int platFileClose(FileHandle file) { return CloseHandle(toHandle(file)) ? 1 : 0; }

MarkerHandle platCreateMarker(const char* name, bool* alreadyExists) {
    HANDLE h = CreateMutexA(nullptr, FALSE, name);
    DWORD error = GetLastError();
    if (alreadyExists) *alreadyExists = h != nullptr && error == ERROR_ALREADY_EXISTS;
    return reinterpret_cast<MarkerHandle>(h);
}

void platReleaseMarker(MarkerHandle marker) {
    if (!marker) return;
    HANDLE h = reinterpret_cast<HANDLE>(marker);
    // The mutex was created unowned, so this release fails harmlessly; closing the
    // last handle removes the name.
    ReleaseMutex(h);
    CloseHandle(h);
}

// The Windows edition takes its settings from the settings file alone.
void platRunSettings(RunSettings& settings) { settings = RunSettings{-1, -1, -1, -1}; }
