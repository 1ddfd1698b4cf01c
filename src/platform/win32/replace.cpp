// Replacing a whole file on Windows: the Win32 backend's, and the one the Windows build
// of the software platform (pellrun-sim) uses.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>

#include "platform/platform.h"

int platReplaceFile(const char* path, const void* bytes, uint32_t count) {
    // A folder or a link (any reparse point) is never written through, and a read-only
    // file keeps its settings.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY)))
        return 0;
    // A new file of its own beside the old one, flushed to the disk, then moved over it
    // in one step; until then the old file is whole.
    char temp[MAX_PATH + 32];
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned n = 0; n < 16 && file == INVALID_HANDLE_VALUE; ++n) {
        const int length = std::snprintf(temp, sizeof temp, "%s.%lu-%u.tmp", path,
                                         static_cast<unsigned long>(GetCurrentProcessId()), n);
        if (length <= 0 || length >= int(sizeof temp)) return 0;
        file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return 0;
    }
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    const bool complete = WriteFile(file, bytes, count, &written, nullptr) && written == count &&
                          FlushFileBuffers(file);
    const bool closed = CloseHandle(file);
    if (complete && closed &&
        MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 1;
    DeleteFileA(temp);
    return 0;
}
