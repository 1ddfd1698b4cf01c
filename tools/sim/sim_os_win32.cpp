// pellrun-sim's operating-system side on Windows. This build has no libpng and does
// not drive ffmpeg: pellrun-sim refuses the picture and video options before a run.
#include "sim_os.h"

#include <io.h>
#include <windows.h>

#include <cctype>
#include <cstring>

#include "png_write.h"

const bool simHasPictureOutput = false;

bool writePng(const char*, const uint8_t*, int, int, int) { return false; }

std::string simAbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    char buffer[MAX_PATH * 4];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (n == 0 || n >= sizeof buffer) return path;
    return std::string(buffer, n);
}

bool simMakeDirectory(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), nullptr)) return true;
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static bool endsWithDat(const char* name) {
    size_t n = std::strlen(name);
    if (n <= 4) return false;
    const char* tail = name + n - 4;
    return tail[0] == '.' && std::tolower((unsigned char)tail[1]) == 'd' &&
           std::tolower((unsigned char)tail[2]) == 'a' &&
           std::tolower((unsigned char)tail[3]) == 't';
}

// Links need privileges on Windows, so the Data folder holds copies of the files.
std::string simMakeWorkDir(const std::string& dataDir) {
    char temp[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n > MAX_PATH) return "";
    std::string dir;
    for (unsigned attempt = 0;; ++attempt) {
        if (attempt == 100) return "";
        char name[64];
        std::snprintf(name, sizeof name, "pellrun-sim-%lu-%u", (unsigned long)GetCurrentProcessId(),
                      attempt);
        dir = std::string(temp) + name;
        if (CreateDirectoryA(dir.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return "";
    }
    std::string data = dir + "\\Data";
    if (!CreateDirectoryA(data.c_str(), nullptr)) return "";
    std::string source = simAbsolutePath(dataDir);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((source + "\\*.dat").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !endsWithDat(found.cFileName))
                continue;
            std::string name = found.cFileName;
            if (!CopyFileA((source + "\\" + name).c_str(), (data + "\\" + name).c_str(), FALSE))
                std::fprintf(stderr, "pellrun-sim: cannot copy %s\n", name.c_str());
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    return dir;
}

bool simEnterDirectory(const std::string& path) { return SetCurrentDirectoryA(path.c_str()) != 0; }

static bool removeTree(const std::string& path) {
    bool ok = true;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ok = removeTree(child) && ok;
            else
                ok = DeleteFileA(child.c_str()) && ok;
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    return RemoveDirectoryA(path.c_str()) && ok;
}

// The working directory is the current one while the meeting runs; leave it first.
bool simRemoveWorkDir(const std::string& path) {
    std::string parent = path.substr(0, path.find_last_of('\\'));
    SetCurrentDirectoryA(parent.c_str());
    return removeTree(path);
}

bool simStderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
double simWallSeconds() { return GetTickCount64() / 1000.0; }

bool simFfmpegInstalled() { return false; }
FILE* simOpenPipe(const std::string&) { return nullptr; }
int simClosePipe(FILE*) { return -1; }
