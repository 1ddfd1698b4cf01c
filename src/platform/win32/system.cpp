// Kernel services: clock, local time, current directory, files, the instance marker.
#include "platform/platform.h"
#include "platform/win32/win32.h"

#include <cstdio>
#include <cstring>
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

// "<folder>\\Data\\" into buffer; false when it does not fit.
static bool dataUnder(const char* folder, char* buffer, uint32_t size) {
    int n = std::snprintf(buffer, size, "%s\\Data\\", folder);
    if (n > 0 && uint32_t(n) < size) return true;
    buffer[0] = 0;
    return false;
}

static bool isDirectory(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The data folder is "Data" under the current directory when that folder exists. Windows
// starts a screen saver in its system folder, so otherwise it is "Data" beside the
// program, whether it exists or not. With neither a usable current directory nor a
// program path there is none (rather than a "\\Data\\" at the root of the drive).
uint32_t platDataFolder(char* buffer, uint32_t size) {
    if (!buffer || size == 0) return 0;
    buffer[0] = 0;
    char directory[1024];
    uint32_t length = platCurrentDirectory(directory, sizeof directory);
    if (length != 0 && dataUnder(directory, buffer, size) && isDirectory(buffer))
        return uint32_t(std::strlen(buffer));

    char program[1024];
    DWORD programLength = GetModuleFileNameA(nullptr, program, sizeof program);
    char* slash = programLength != 0 && programLength < sizeof program
                      ? std::strrchr(program, '\\')
                      : nullptr;
    if (slash) {
        *slash = 0;
        if (dataUnder(program, buffer, size)) return uint32_t(std::strlen(buffer));
    }
    // No program path: the current directory's, whether it exists or not.
    if (length != 0 && dataUnder(directory, buffer, size)) return uint32_t(std::strlen(buffer));
    return 0;
}

// A folder is writable when a new file can be made in it; the probe goes when closed.
// (GetTempFileName is no test: Wine's reports success even when it could make no file.)
static bool folderWritable(const char* folder) {
    char probe[MAX_PATH];
    int n = std::snprintf(probe, sizeof probe, "%spellrun-%lu.tmp", folder,
                          static_cast<unsigned long>(GetCurrentProcessId()));
    if (n <= 0 || n >= int(sizeof probe)) return false;
    HANDLE h = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

// The settings file lives in the data folder when the user may write there; otherwise
// (the program installed under Program Files) in "%APPDATA%\\Pellrun\\", made when the
// file is first written.
uint32_t platSettingsFile(const char* dataFolder, char* buffer, uint32_t size, bool forWrite) {
    if (!buffer || size == 0) return 0;
    buffer[0] = 0;
    if (!dataFolder || !dataFolder[0]) return 0;
    int n = 0;
    if (folderWritable(dataFolder)) {
        n = std::snprintf(buffer, size, "%sSetup.ini", dataFolder);
    } else {
        char appData[MAX_PATH];
        DWORD length = GetEnvironmentVariableA("APPDATA", appData, sizeof appData);
        if (length == 0 || length >= sizeof appData) return 0;
        n = std::snprintf(buffer, size, "%s\\Pellrun\\Setup.ini", appData);
        if (n > 0 && uint32_t(n) < size && forWrite) {
            char folder[MAX_PATH + 16];
            std::snprintf(folder, sizeof folder, "%s\\Pellrun", appData);
            CreateDirectoryA(appData, nullptr);
            CreateDirectoryA(folder, nullptr);
        }
    }
    if (n <= 0 || uint32_t(n) >= size) {
        buffer[0] = 0;
        return 0;
    }
    return uint32_t(n);
}

static HANDLE toHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

FileHandle platFileOpen(const char* path, int mode) {
    HANDLE h = CreateFileA(path, mode == FileReadData ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           mode == FileCreateAlways ? CREATE_ALWAYS : OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    // A pipe or a device opens at once, but reading it may wait for its other end (Wine
    // opens a Unix FIFO so): only a file on a disk is kept.
    LARGE_INTEGER size = {};
    if (GetFileType(h) != FILE_TYPE_DISK ||
        (mode == FileReadData && (!GetFileSizeEx(h, &size) || size.QuadPart > DataFileLimit))) {
        CloseHandle(h);
        return nullptr;
    }
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
