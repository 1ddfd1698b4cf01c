// pellrun-sim: runs the real program (the same scenes and drawing) on the headless
// platform's virtual clock, far faster than real time, and records what it shows.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/startup.h"
#include "core/settings.h"
#include "pellrun_version.h"
#include "png_write.h"
#include "platform/headless/headless.h"
#include "race/race_line.h"
#include "race/scenes.h"
#include "sim_os.h"

namespace {

struct Options {
    long long seed = -1;
    long races = -1;
    int width = 1024, height = 768;
    int speed = 2, interval = 1, antiAlias = 0;
    // Which of those the command line gave: they override the data folder's Setup.ini.
    bool speedGiven = false, intervalGiven = false, antiAliasGiven = false;
    uint32_t startTick = 100000;
    LocalTime start = {2026, 12, 0, 6, 12, 0, 0, 0};
    std::string framesDir;
    long every = 1;
    double seconds = -1;
    uint32_t fromMs = 0;  // pictures and video from this virtual time on
    std::string snapshot;
    std::string dataDir = "Data";
    bool json = false;
    bool version = false;
    std::string video;
};

enum VideoKind { NoVideo, VideoGif, VideoMp4 };

// A line on a terminal that says how far a long run has got: shown only where standard
// error is a terminal and once the run has taken a while, and taken away again before
// anything else is printed, so what is printed stays what it is without a terminal.
struct Progress {
    bool enabled = false;
    double started = 0, nextUpdate = 0;
    size_t shown = 0;        // characters of the line now on the terminal
    int passes = 1, pass = 0;
    uint32_t meetingMs = 0;  // the length of the meeting, once a whole pass has run it
};

struct RunState {
    const Options* options;
    Progress* progress = nullptr;
    uint32_t lastRaceEndMs = 0;
    unsigned long presented = 0;
    unsigned long written = 0;
    bool stopping = false;
    bool failed = false;
    bool quiet = false;       // a repeat run that only feeds the video
    FILE* video = nullptr;    // ffmpeg's standard input
    uint32_t videoPeriod = 40;
    uint32_t nextVideoMs = 0;
    unsigned long videoFrames = 0;
    RaceWatch race;
};

void usage() {
    std::fprintf(stderr,
                 "usage: pellrun-sim [--seed N] [--races N] [--size WxH] [--speed 0-4]\n"
                 "                   [--interval 0-2] [--anti-alias on|off]\n"
                 "                   [--start \"YYYY-MM-DD HH:MM:SS\"] [--frames DIR] [--every K]\n"
                 "                   [--json] [--video FILE.gif|FILE.mp4] [--seconds S]\n"
                 "                   [--snapshot FILE.png] [--data DIR] [--tick 0-4294967295]\n"
                 "                   [--from S] [--version]\n");
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
        if (name == "--json") {
            o.json = true;
            continue;
        }
        if (name == "--version") {
            o.version = true;
            continue;
        }
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
            o.speedGiven = true;
        } else if (name == "--interval") {
            if (!parseLong(value, 0, 2, n)) return false;
            o.interval = int(n);
            o.intervalGiven = true;
        } else if (name == "--anti-alias") {
            if (std::strcmp(value, "on") && std::strcmp(value, "off")) return false;
            o.antiAlias = std::strcmp(value, "on") == 0 ? 0 : 1;
            o.antiAliasGiven = true;
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
        } else if (name == "--from") {
            double from = std::atof(value);
            if (!(from >= 0 && from < 4e6)) return false;
            o.fromMs = uint32_t(from * 1000 + 0.5);
        } else if (name == "--snapshot") {
            o.snapshot = value;
        } else if (name == "--video") {
            o.video = value;
        } else if (name == "--data") {
            o.dataDir = value;
        } else if (name == "--tick") {
            if (!parseLong(value, 0, 0xFFFFFFFFll, n)) return false;
            o.startTick = uint32_t(n);
        } else {
            return false;
        }
    }
    return true;
}

// A private working directory whose Data folder has the real songs and effects and
// holds the settings of this run, so the user's own Setup.ini is never touched. The
// settings are those of the data folder's Setup.ini when it holds a valid one (read as
// the program reads it, values as they are), with the command line's choices on top.
std::string makeWorkDir(const Options& o) {
    std::string dir = simMakeWorkDir(o.dataDir);
    if (dir.empty()) return dir;
    unsigned char settings[6] = {2, (unsigned char)o.speed, (unsigned char)o.interval, 0, 1,
                                 (unsigned char)o.antiAlias};
    if (FILE* given = std::fopen((o.dataDir + "/Setup.ini").c_str(), "rb")) {
        unsigned char read[6];
        if (std::fread(read, 1, sizeof read, given) == sizeof read && read[0] == 2) {
            std::memcpy(settings, read, sizeof settings);
            if (o.speedGiven) settings[1] = (unsigned char)o.speed;
            if (o.intervalGiven) settings[2] = (unsigned char)o.interval;
            if (o.antiAliasGiven) settings[5] = (unsigned char)o.antiAlias;
        }
        std::fclose(given);
    }
    FILE* f = std::fopen((dir + "/Data/Setup.ini").c_str(), "wb");
    if (f) {
        std::fwrite(settings, 1, sizeof settings, f);
        std::fclose(f);
    }
    return dir;
}

void clearProgress(Progress* p) {
    if (!p || !p->shown) return;
    std::fprintf(stderr, "\r%*s\r", int(p->shown), "");
    std::fflush(stderr);
    p->shown = 0;
}

// "m:ss" or "h:mm:ss", with tenths of a second when asked.
void formatTime(char* out, size_t size, double seconds, bool tenths) {
    long count = long(seconds * 10), whole = count / 10;
    int n = whole >= 3600 ? std::snprintf(out, size, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60)
                          : std::snprintf(out, size, "%ld:%02ld", whole / 60, whole % 60);
    if (tenths) std::snprintf(out + n, size - size_t(n), ".%ld", count % 10);
}

// Four times a second, from 1.5 s into the run: "frames 1234  0:42.0 virtual  37 %  about
// 0:21 left". The whole run is the meeting once per pass. The meeting's length is known
// after the first pass; before, it is the time asked for, or the races asked for at the
// pace of those run so far (before the first: the board's wait, and about a parade and
// race at this speed).
void showProgress(RunState& state) {
    Progress* p = state.progress;
    if (!p || !p->enabled) return;
    double now = simWallSeconds() - p->started;
    if (now < p->nextUpdate) return;
    p->nextUpdate = now + 0.25;
    const Options& o = *state.options;
    const double elapsed = headlessElapsed();
    double meeting = p->meetingMs;
    if (!meeting) {
        double perRace = raceCount ? state.lastRaceEndMs / double(raceCount)
                                   : ((interval > 0 ? interval : 0) + 1) * 60000.0 +
                                         (speed > 0 ? (speed < 4 ? speed : 4) : 0) * 20000.0 + 50000.0;
        meeting = o.races >= 0 ? perRace * o.races : o.seconds * 1000;
        if (o.seconds > 0 && o.seconds * 1000 < meeting) meeting = o.seconds * 1000;
        if (meeting < elapsed) meeting = elapsed;
    }
    const double done = p->pass * meeting + elapsed, total = p->passes * meeting;
    char virtualTime[32], left[32], line[160];
    formatTime(virtualTime, sizeof virtualTime, elapsed / 1000, true);
    formatTime(left, sizeof left, done > 0 ? (total - done) * now / done + 0.5 : 0, false);
    int n = std::snprintf(line, sizeof line, "frames %lu  %s virtual  %d %%  about %s left", state.presented,
                          virtualTime, total > 0 ? int(100 * done / total) : 0, left);
    std::fprintf(stderr, "\r%s%*s", line, p->shown > size_t(n) ? int(p->shown - n) : 0, "");
    std::fflush(stderr);
    p->shown = size_t(n);
}

void writePicture(RunState& state, const char* path, const SoftBitmap& p) {
    if (!writePng(path, p.bits, p.width, p.height, p.stride)) {
        clearProgress(state.progress);
        std::fprintf(stderr, "pellrun-sim: cannot write %s\n", path);
        state.failed = true;
    }
}

void onFrame(const SoftBitmap& picture, void* user) {
    RunState& state = *static_cast<RunState*>(user);
    const Options& o = *state.options;
    ++state.presented;
    if (!state.quiet && !o.framesDir.empty() && (state.presented - 1) % o.every == 0 &&
        headlessElapsed() >= o.fromMs) {
        char path[4096];
        std::snprintf(path, sizeof path, "%s/frame-%06lu.png", o.framesDir.c_str(), state.written++);
        writePicture(state, path, picture);
    }
}

// Called between frames: prints each race's line as it ends.
void watchRace(RunState& state) {
    char line[RaceLineSize];
    if (!::watchRace(state.race, line)) return;
    state.lastRaceEndMs = headlessElapsed();
    if (state.options->json && !state.quiet) {
        clearProgress(state.progress);
        std::fputs(line, stdout);
        std::fflush(stdout);
    }
}

// Writes what the window shows as one raw top-down BGR frame.
void writeVideoFrame(RunState& state) {
    const SoftBitmap* p = headlessWindowPicture();
    if (!p || !state.video) return;
    for (int32_t y = 0; y < p->height; ++y) {
        const uint8_t* row = p->bits + size_t(p->height - 1 - y) * size_t(p->stride);
        if (std::fwrite(row, 3, size_t(p->width), state.video) != size_t(p->width)) {
            clearProgress(state.progress);
            std::fprintf(stderr, "pellrun-sim: ffmpeg stopped taking frames\n");
            state.failed = true;
            simClosePipe(state.video);
            state.video = nullptr;
            return;
        }
    }
    ++state.videoFrames;
}

// The video runs at a fixed rate on the virtual clock: each slot shows the picture on
// the window at its start.
void feedVideo(RunState& state) {
    while (state.video && headlessElapsed() >= state.nextVideoMs) {
        writeVideoFrame(state);
        state.nextVideoMs += state.videoPeriod;
    }
}

void onSleep(void* user) {
    RunState& state = *static_cast<RunState*>(user);
    const Options& o = *state.options;
    if (state.stopping) return;
    showProgress(state);
    feedVideo(state);
    watchRace(state);
    bool done = (o.races >= 0 && raceCount >= uint32_t(o.races)) ||
                (o.seconds > 0 && headlessElapsed() >= uint32_t(o.seconds * 1000));
    if (!done) return;
    state.stopping = true;
    if (!o.snapshot.empty() && !state.quiet)
        if (const SoftBitmap* p = headlessWindowPicture()) writePicture(state, o.snapshot.c_str(), *p);
    platPostQuitMessage(0);
}

VideoKind videoKind(const std::string& path) {
    auto endsWith = [&path](const char* tail) {
        size_t n = std::strlen(tail);
        if (path.size() < n) return false;
        for (size_t k = 0; k < n; ++k)
            if (std::tolower((unsigned char)path[path.size() - n + k]) != tail[k]) return false;
        return true;
    };
    if (endsWith(".gif")) return VideoGif;
    if (endsWith(".mp4")) return VideoMp4;
    return NoVideo;
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The ffmpeg command for one pass. A GIF takes two runs of the same meeting: the first
// makes the palette from every frame, the second maps the frames onto it.
std::string ffmpegCommand(VideoKind kind, int pass, int width, int height, uint32_t period,
                          const std::string& out, const std::string& palette) {
    char input[256];
    std::snprintf(input, sizeof input,
                  "ffmpeg -loglevel error -y -f rawvideo -pix_fmt bgr24 -s %dx%d -framerate %u/1000 -i -",
                  width, height, 1000000u / period);
    std::string command = input;
    if (kind == VideoMp4)
        return command +
               " -vf 'scale=trunc(iw/2)*2:trunc(ih/2)*2' -c:v libx264 -pix_fmt yuv420p -preset veryfast " +
               quoted(out);
    const char* scale = "scale='min(640,iw)':-1:flags=lanczos";
    if (pass == 0)
        return command + " -vf \"" + scale + ",palettegen=stats_mode=full\" " + quoted(palette);
    return command + " -i " + quoted(palette) + " -lavfi \"" + scale +
           "[v];[v][1:v]paletteuse=dither=bayer:bayer_scale=3\" " + quoted(out);
}

int runMeeting(RunState& state, const HeadlessConfig& config) {
    resetProgramState();
    headlessReset(config);
    headlessSetFrameSink(onFrame, &state);
    headlessSetSleepHook(onSleep, &state);
    return pellrunMain("/s", 1);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        usage();
        return 2;
    }
    if (options.version) {
        std::printf("pellrun-sim %s\n", PELLRUN_VERSION);
        return 0;
    }
    if (options.races < 0 && options.seconds < 0) options.races = 1;
    if (!simHasPictureOutput &&
        (!options.framesDir.empty() || !options.snapshot.empty() || !options.video.empty())) {
        std::fprintf(stderr,
                     "pellrun-sim: this build has no PNG or video output "
                     "(--frames, --snapshot and --video are not available)\n");
        return 1;
    }
    options.framesDir = simAbsolutePath(options.framesDir);
    options.snapshot = simAbsolutePath(options.snapshot);
    options.video = simAbsolutePath(options.video);
    if (!options.framesDir.empty()) simMakeDirectory(options.framesDir);

    VideoKind kind = NoVideo;
    bool videoMissing = false;
    if (!options.video.empty()) {
        kind = videoKind(options.video);
        if (kind == NoVideo) {
            std::fprintf(stderr, "pellrun-sim: --video wants a file ending in .gif or .mp4\n");
            return 2;
        }
        if (!simFfmpegInstalled()) {
            std::fprintf(stderr,
                         "pellrun-sim: ffmpeg is not installed, so no video is written "
                         "(install the ffmpeg package to record %s)\n",
                         options.video.c_str());
            videoMissing = true;
            kind = NoVideo;
        }
    }
    std::string work = makeWorkDir(options);
    if (work.empty() || !simEnterDirectory(work)) {
        std::fprintf(stderr, "pellrun-sim: cannot make a working directory\n");
        return 1;
    }
    HeadlessConfig config;
    config.desktopWidth = options.width;
    config.desktopHeight = options.height;
    config.startTime = options.start;
    config.seedSeconds = options.seed;
    config.startTick = options.startTick;

    RunState state;
    state.options = &options;
    const std::string palette = work + "/palette.png";
    int code = 0;
    int passes = kind == VideoGif ? 2 : 1;
    Progress progress;
    progress.enabled = simStderrIsTerminal();
    progress.started = simWallSeconds();
    progress.nextUpdate = 1.5;
    progress.passes = passes;
    for (int pass = 0; pass < passes; ++pass) {
        // The meeting is the same on every run, so the GIF's first pass only makes the
        // palette; everything else comes from the last run.
        RunState run;
        run.options = &options;
        run.quiet = pass + 1 < passes;
        run.progress = &progress;
        progress.pass = pass;
        run.videoPeriod = kind == VideoGif ? 100 : 40;
        run.nextVideoMs = options.fromMs;
        if (kind != NoVideo) {
            std::string command = ffmpegCommand(kind, kind == VideoGif ? pass : 1, options.width,
                                                options.height, run.videoPeriod, options.video, palette);
            run.video = simOpenPipe(command);
            if (!run.video) {
                std::fprintf(stderr, "pellrun-sim: cannot start ffmpeg\n");
                run.failed = true;
            }
        }
        code = runMeeting(run, config);
        progress.meetingMs = headlessElapsed();
        clearProgress(&progress);
        if (run.video) {
            int status = simClosePipe(run.video);
            run.video = nullptr;
            if (status != 0) {
                std::fprintf(stderr, "pellrun-sim: ffmpeg failed (status %d)\n", status);
                run.failed = true;
            }
        }
        state = run;
        if (state.failed) break;
    }

    if (!simRemoveWorkDir(work)) std::fprintf(stderr, "pellrun-sim: cleanup failed\n");
    std::fprintf(stderr, "pellrun-sim: %lu frames presented in %.1f virtual seconds\n",
                 state.presented, headlessElapsed() / 1000.0);
    if (kind != NoVideo && !state.failed)
        std::fprintf(stderr, "pellrun-sim: video of %lu frames written to %s\n", state.videoFrames,
                     options.video.c_str());
    return state.failed || videoMissing ? 1 : code;
}
