#include "platform/sdl/host.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool named(const char* arg, const char* name) {
    // Both -name and --name are accepted, as screen-saver hosts use either.
    if (arg[0] != '-') return false;
    if (arg[1] == '-') ++arg;
    return std::strcmp(arg + 1, name) == 0;
}

bool number(const char* text, int64_t low, int64_t high, int64_t* out) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno || *end || value < low || value > high) return false;
    *out = value;
    return true;
}

bool isFolder(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool isFile(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

// Copies a native path into buffer in the program's form (slashes become backslashes),
// adding the ending when it is not there yet. Returns the length, 0 when it does not fit.
uint32_t programPath(const char* path, const char* ending, char* buffer, uint32_t size) {
    const int n = std::snprintf(buffer, size, "%s%s", path, ending);
    if (n <= 0 || uint32_t(n) >= size) {
        buffer[0] = 0;
        return 0;
    }
    for (char* c = buffer; *c; ++c)
        if (*c == '/') *c = '\\';
    return uint32_t(n);
}

// Makes each missing folder of path (a native path ending in a slash).
bool makeFolders(const char* path) {
    char partial[1024];
    const size_t length = std::strlen(path);
    if (length >= sizeof partial) return false;
    for (size_t i = 1; i <= length; ++i) {
        if (path[i] != '/' && path[i] != 0) continue;
        std::memcpy(partial, path, i);
        partial[i] = 0;
        if (mkdir(partial, 0700) != 0 && errno != EEXIST) return false;
    }
    return isFolder(path);
}

// The program's folder among the user's folders of one kind: "$variable/pellrun/", or
// "$HOME/fallback/pellrun/" when the variable is unset or relative (to be ignored then).
bool userFolder(const char* variable, const char* fallback, char* path, size_t size) {
    const char* given = std::getenv(variable);
    const char* home = std::getenv("HOME");
    if (given && given[0] == '/')
        std::snprintf(path, size, "%s/pellrun/", given);
    else if (home && home[0] == '/')
        std::snprintf(path, size, "%s/%s/pellrun/", home, fallback);
    else
        return false;
    return true;
}

}  // namespace

bool hostParseOptions(int argc, char** argv, HostOptions& options, char* line, uint32_t size) {
    options = HostOptions();
    options.settings = RunSettings{-1, -1, -1, -1};
    options.seed = -1;
    uint32_t used = 0;
    line[0] = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        int64_t n = 0;
        if (named(arg, "root")) {
            options.root = true;
        } else if (named(arg, "window-id")) {
            ++i;
            char* end = nullptr;
            if (value && *value) options.windowId = std::strtoull(value, &end, 0);
            options.hasWindowId = value && *value && !*end && options.windowId != 0;
        } else if (named(arg, "scale")) {
            ++i;
            if (value && std::strcmp(value, "fill") == 0) options.scale = 0;
            if (number(value, 1, 64, &n)) options.scale = int32_t(n);
        } else if (named(arg, "window")) {
            options.window = true;
        } else if (named(arg, "monitors")) {
            ++i;
            if (value && std::strcmp(value, "primary") == 0) options.primaryOnly = true;
            if (value && std::strcmp(value, "all") == 0) options.primaryOnly = false;
        } else if (named(arg, "seed")) {
            ++i;
            if (number(value, 0, 0xFFFFFFFFll, &n)) options.seed = n;
        } else if (named(arg, "speed")) {
            // 1 (slowest) .. 5 (fastest); the file holds 4 .. 0.
            ++i;
            if (number(value, 1, 5, &n)) options.settings.speed = int32_t(5 - n);
        } else if (named(arg, "interval")) {
            // Minutes from the board to the race, 1 .. 3; the file holds 0 .. 2.
            ++i;
            if (number(value, 1, 3, &n)) options.settings.interval = int32_t(n - 1);
        } else if (named(arg, "music")) {
            options.settings.music = 0;
        } else if (named(arg, "no-music")) {
            options.settings.music = 1;
        } else if (named(arg, "smooth")) {
            options.settings.antiAlias = 0;
        } else if (named(arg, "no-smooth")) {
            options.settings.antiAlias = 1;
        } else {
            const uint32_t length = uint32_t(std::strlen(arg));
            if (used + length + 2 > size) {
                line[0] = 0;
                return false;
            }
            if (used) line[used++] = ' ';
            std::memcpy(line + used, arg, length);
            used += length;
            line[used] = 0;
        }
    }
    return true;
}

uint32_t hostDataFolder(const char* exeDir, char* buffer, uint32_t size) {
    if (!buffer || size == 0) return 0;
    buffer[0] = 0;
    char path[1024];
    const char* given = std::getenv("PELLRUN_DATA");
    if (given && *given) {
        const size_t n = std::strlen(given);
        return programPath(given, given[n - 1] == '/' ? "" : "/", buffer, size);
    }
    if (getcwd(path, sizeof path - 8)) {
        std::strcat(path, "/Data");
        if (isFolder(path)) return programPath(path, "/", buffer, size);
    }
    if (!exeDir || !*exeDir) return 0;
    // Installed: <prefix>/bin/pellrun finds <prefix>/share/pellrun; a program in a
    // folder of its own under the prefix looks one level further up.
    static const char* const levels[] = {"/..", "/../.."};
    for (const char* up : levels) {
        std::snprintf(path, sizeof path, "%s%s/share/pellrun", exeDir, up);
        if (isFolder(path)) return programPath(path, "/", buffer, size);
    }
    std::snprintf(path, sizeof path, "%s/../share/pellrun", exeDir);
    return programPath(path, "/", buffer, size);
}

uint32_t hostSettingsFile(char* buffer, uint32_t size, bool forWrite) {
    if (!buffer || size == 0) return 0;
    buffer[0] = 0;
    char path[1024];
    if (getcwd(path, sizeof path)) {
        const size_t n = std::strlen(path);
        std::snprintf(path + n, sizeof path - n, "/Data/Setup.ini");
        if (isFile(path)) return programPath(path, "", buffer, size);
    }
    if (!userFolder("XDG_CONFIG_HOME", ".config", path, sizeof path)) return 0;
    if (forWrite && !makeFolders(path)) return 0;
    return programPath(path, "Setup.ini", buffer, size);
}

bool hostRuntimeFolder(const char* tmp, char* buffer, uint32_t size) {
    if (!buffer || size == 0) return false;
    buffer[0] = 0;
    const unsigned user = unsigned(geteuid());
    const auto qualifies = [user](const char* path) {
        struct stat info;
        return lstat(path, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == user &&
               (info.st_mode & 077) == 0;
    };
    const auto take = [&](const char* path) {
        const int n = std::snprintf(buffer, size, "%s", path);
        if (n > 0 && uint32_t(n) < size && qualifies(path)) return true;
        buffer[0] = 0;
        return false;
    };
    char path[1024];
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && take(runtime)) return true;
    // A shared folder such as /tmp lets nobody remove or rename another user's folder
    // only when it has the sticky bit (or others cannot write to it at all).
    struct stat shared;
    if (tmp && stat(tmp, &shared) == 0 && S_ISDIR(shared.st_mode) &&
        ((shared.st_mode & S_ISVTX) || !(shared.st_mode & 002))) {
        std::snprintf(path, sizeof path, "%s/pellrun-%u", tmp, user);
        mkdir(path, 0700);
        if (take(path)) return true;
    }
    if (!userFolder("XDG_CACHE_HOME", ".cache", path, sizeof path) || !makeFolders(path)) return false;
    path[std::strlen(path) - 1] = 0;
    return take(path);
}
