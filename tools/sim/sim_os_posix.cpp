// pellrun-sim's operating-system side on POSIX systems.
#include "sim_os.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

const bool simHasPictureOutput = true;

std::string simAbsolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char buffer[4096];
    return std::string(getcwd(buffer, sizeof buffer) ? buffer : ".") + "/" + path;
}

bool simMakeDirectory(const std::string& path) {
    struct stat info;
    return mkdir(path.c_str(), 0755) == 0 || (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

// The Data folder links the real files, so nothing is copied.
std::string simMakeWorkDir(const std::string& dataDir) {
    char pattern[] = "/tmp/pellrun-sim-XXXXXX";
    if (!mkdtemp(pattern)) return "";
    std::string dir = pattern;
    std::string data = dir + "/Data";
    if (mkdir(data.c_str(), 0755) != 0) return "";
    std::string source = simAbsolutePath(dataDir);
    if (DIR* d = opendir(source.c_str())) {
        while (dirent* entry = readdir(d)) {
            std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dat") == 0)
                if (symlink((source + "/" + name).c_str(), (data + "/" + name).c_str()) != 0)
                    std::fprintf(stderr, "pellrun-sim: cannot link %s\n", name.c_str());
        }
        closedir(d);
    }
    return dir;
}

bool simEnterDirectory(const std::string& path) { return chdir(path.c_str()) == 0; }

bool simRemoveWorkDir(const std::string& path) {
    std::string command = "rm -rf '" + path + "'";
    return std::system(command.c_str()) == 0;
}

bool simStderrIsTerminal() { return isatty(2) == 1; }

double simWallSeconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

bool simFfmpegInstalled() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/ffmpeg";
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

FILE* simOpenPipe(const std::string& command) {
    signal(SIGPIPE, SIG_IGN);
    return popen(command.c_str(), "w");
}

int simClosePipe(FILE* pipe) { return pclose(pipe); }
