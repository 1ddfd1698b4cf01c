#include "core/settings.h"

#include <cstdio>
#include <cstring>

#include "core/file.h"

int32_t speed = 2;
int32_t interval = 1;
int32_t music = 0;
int32_t fullScreen = 1;
int32_t antiAlias = 0;
char dataDir[PathSize + 8];
int32_t screenWidth;
int32_t screenHeight;

void setDefaultSettings() {
    speed = 2;
    interval = 1;
    music = 0;
    fullScreen = 1;
    antiAlias = 0;
}

void resetSettingsState() {
    setDefaultSettings();
    std::memset(dataDir, 0, sizeof dataDir);
    screenWidth = screenHeight = 0;
}

// The platform says where the file lives; a path that does not fit is no path.
static bool settingsPath(FileRecord& file, bool forWrite) {
    return platSettingsFile(dataDir, file.path, sizeof file.path, forWrite) != 0;
}

int32_t readSettings() {
    FileRecord file;
    if (!settingsPath(file, false) || !fileOpen(file, 0)) return 0;
    int8_t bytes[6] = {};
    // A file shorter than the record is as good as no file: nothing unread is used.
    int32_t got = fileRead(file, bytes, 0, sizeof bytes);
    fileClose(file);
    if (got != static_cast<int32_t>(sizeof bytes) || bytes[0] != SettingsVersion) return 0;
    speed = bytes[1];
    interval = bytes[2];
    music = bytes[3];
    fullScreen = bytes[4];
    antiAlias = bytes[5];
    return 1;
}

int32_t writeSettings() {
    FileRecord file;
    if (!settingsPath(file, true)) return 0;
    const uint8_t bytes[6] = {
        static_cast<uint8_t>(SettingsVersion), static_cast<uint8_t>(speed),
        static_cast<uint8_t>(interval),        static_cast<uint8_t>(music),
        static_cast<uint8_t>(fullScreen),      static_cast<uint8_t>(antiAlias)};
    return platReplaceFile(file.path, bytes, sizeof bytes) ? 1 : 0;
}
