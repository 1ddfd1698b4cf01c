// pellrun-sim: runs the real program (the same scenes and drawing) on the headless
// platform's virtual clock, far faster than real time, and records what it shows.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/startup.h"
#include "png_write.h"
#include "platform/headless/headless.h"
#include "race/scenes.h"

namespace {

struct Options {
    long long seed = -1;
    long races = -1;
    int width = 1024, height = 768;
    int speed = 2, interval = 1, antiAlias = 0;
    LocalTime start = {2026, 12, 0, 6, 12, 0, 0, 0};
    std::string framesDir;
    long every = 1;
    double seconds = -1;
    std::string snapshot;
    std::string dataDir = "Data";
};

struct RunState {
    const Options* options;
    unsigned long presented = 0;
    unsigned long written = 0;
    bool stopping = false;
    bool failed = false;
};

void usage() {
    std::fprintf(stderr,
                 "usage: pellrun-sim [--seed N] [--races N] [--size WxH] [--speed 0-4]\n"
                 "                   [--interval 0-2] [--anti-alias on|off]\n"
                 "                   [--start \"YYYY-MM-DD HH:MM:SS\"] [--frames DIR] [--every K]\n"
                 "                   [--seconds S] [--snapshot FILE.png] [--data DIR]\n");
}

bool parseLong(const char* text, long long low, long long high, long long& out) {
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 10);
    if (!text[0] || *end || value < low || value > high) return false;
    out = value;
    return true;
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        long long n = 0;
        if (name == "--seed") {
            if (!parseLong(value, 0, 0xFFFFFFFFll, n)) return false;
            o.seed = n;
        } else if (name == "--races") {
            if (!parseLong(value, 0, 1000000, n)) return false;
            o.races = long(n);
        } else if (name == "--size") {
            if (std::sscanf(value, "%dx%d", &o.width, &o.height) != 2 || o.width < 16 ||
                o.height < 16 || o.width > 8192 || o.height > 8192)
                return false;
        } else if (name == "--speed") {
            if (!parseLong(value, 0, 4, n)) return false;
            o.speed = int(n);
        } else if (name == "--interval") {
            if (!parseLong(value, 0, 2, n)) return false;
            o.interval = int(n);
        } else if (name == "--anti-alias") {
            if (std::strcmp(value, "on") && std::strcmp(value, "off")) return false;
            o.antiAlias = std::strcmp(value, "on") == 0 ? 0 : 1;
        } else if (name == "--start") {
            LocalTime& t = o.start;
            if (std::sscanf(value, "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour,
                            &t.minute, &t.second) != 6 ||
                t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 ||
                t.minute > 59 || t.second > 59)
                return false;
        } else if (name == "--frames") {
            o.framesDir = value;
        } else if (name == "--every") {
            if (!parseLong(value, 1, 1000000, n)) return false;
            o.every = long(n);
        } else if (name == "--seconds") {
            o.seconds = std::atof(value);
            if (!(o.seconds > 0)) return false;
        } else if (name == "--snapshot") {
            o.snapshot = value;
        } else if (name == "--data") {
            o.dataDir = value;
        } else {
            return false;
        }
    }
    return true;
}

std::string absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char buffer[4096];
    return std::string(getcwd(buffer, sizeof buffer) ? buffer : ".") + "/" + path;
}

// A private working directory whose Data folder links the real songs and effects and
// holds the settings of this run, so the user's own Setup.ini is never touched.
std::string makeWorkDir(const Options& o) {
    char pattern[] = "/tmp/pellrun-sim-XXXXXX";
    if (!mkdtemp(pattern)) return "";
    std::string dir = pattern;
    std::string data = dir + "/Data";
    mkdir(data.c_str(), 0755);
    std::string source = absolute(o.dataDir);
    if (DIR* d = opendir(source.c_str())) {
        while (dirent* entry = readdir(d)) {
            std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".dat") == 0)
                if (symlink((source + "/" + name).c_str(), (data + "/" + name).c_str()) != 0)
                    std::fprintf(stderr, "pellrun-sim: cannot link %s\n", name.c_str());
        }
        closedir(d);
    }
    const unsigned char settings[6] = {2, (unsigned char)o.speed, (unsigned char)o.interval, 0, 1,
                                       (unsigned char)o.antiAlias};
    FILE* f = std::fopen((data + "/Setup.ini").c_str(), "wb");
    if (f) {
        std::fwrite(settings, 1, sizeof settings, f);
        std::fclose(f);
    }
    return dir;
}

void writePicture(RunState& state, const char* path, const SoftBitmap& p) {
    if (!writePng(path, p.bits, p.width, p.height, p.stride)) {
        std::fprintf(stderr, "pellrun-sim: cannot write %s\n", path);
        state.failed = true;
    }
}

void onFrame(const SoftBitmap& picture, void* user) {
    RunState& state = *static_cast<RunState*>(user);
    const Options& o = *state.options;
    ++state.presented;
    if (!o.framesDir.empty() && (state.presented - 1) % o.every == 0) {
        char path[4096];
        std::snprintf(path, sizeof path, "%s/frame-%06lu.png", o.framesDir.c_str(), state.written++);
        writePicture(state, path, picture);
    }
}

void onSleep(void* user) {
    RunState& state = *static_cast<RunState*>(user);
    const Options& o = *state.options;
    if (state.stopping) return;
    bool done = (o.races >= 0 && raceCount >= uint32_t(o.races)) ||
                (o.seconds > 0 && headlessElapsed() >= uint32_t(o.seconds * 1000));
    if (!done) return;
    state.stopping = true;
    if (!o.snapshot.empty())
        if (const SoftBitmap* p = headlessWindowPicture()) writePicture(state, o.snapshot.c_str(), *p);
    platPostQuitMessage(0);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        usage();
        return 2;
    }
    if (options.races < 0 && options.seconds < 0) options.races = 1;
    options.framesDir = absolute(options.framesDir);
    options.snapshot = absolute(options.snapshot);
    if (!options.framesDir.empty()) mkdir(options.framesDir.c_str(), 0755);

    std::string work = makeWorkDir(options);
    if (work.empty() || chdir(work.c_str()) != 0) {
        std::fprintf(stderr, "pellrun-sim: cannot make a working directory\n");
        return 1;
    }
    HeadlessConfig config;
    config.desktopWidth = options.width;
    config.desktopHeight = options.height;
    config.startTime = options.start;
    config.seedSeconds = options.seed;

    RunState state;
    state.options = &options;
    resetProgramState();
    headlessReset(config);
    headlessSetFrameSink(onFrame, &state);
    headlessSetSleepHook(onSleep, &state);
    int code = pellrunMain("/s", 1);

    std::string cleanup = "rm -rf '" + work + "'";
    if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "pellrun-sim: cleanup failed\n");
    std::fprintf(stderr, "pellrun-sim: %lu frames presented in %.1f virtual seconds\n",
                 state.presented, headlessElapsed() / 1000.0);
    return state.failed ? 1 : code;
}
