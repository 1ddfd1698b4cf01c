// What the Linux edition takes from its surroundings: the host's options and the places
// of the songs and the settings file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sdl/host.h"

namespace {

// The options parsed, as the settings (speed, interval, music, smoothing; -1 unchanged),
// the other options that differ from their defaults and, after "|", the rest of the line.
std::string parsed(std::vector<const char*> args) {
    args.insert(args.begin(), "pellrun");
    HostOptions o;
    char line[64];
    EXPECT_TRUE(hostParseOptions(int(args.size()), const_cast<char**>(args.data()), o, line, sizeof line));
    const RunSettings& s = o.settings;
    std::ostringstream out;
    out << s.speed << ' ' << s.interval << ' ' << s.music << ' ' << s.antiAlias << (o.root ? " root" : "");
    if (o.hasWindowId) out << " id " << o.windowId;
    if (o.scale != 0) out << " scale " << o.scale;
    out << (o.window ? " window" : "") << (o.primaryOnly ? " primary" : "");
    if (o.seed != -1) out << " seed " << o.seed;
    return out.str() + (*line ? std::string(" | ") + line : "");
}

// Out of range, malformed or missing values change nothing; the screens are filled by
// default.
TEST(SdlHost, OptionsOverrideSettingsAndLeaveTheRestAsTheCommandLine) {
    const struct {
        std::vector<const char*> args;
        const char* options;
    } cases[] = {
        {{}, "-1 -1 -1 -1"},
        {{"--root"}, "-1 -1 -1 -1 root"},
        {{"-speed", "5", "-interval", "3", "-no-music", "-no-smooth"}, "0 2 1 1"},
        {{"--speed", "1", "--interval", "1", "--music", "--smooth"}, "4 0 0 0"},
        {{"--speed", "6", "--interval", "0", "--speed"}, "-1 -1 -1 -1"},
        {{"/s", "--no-music", "5000"}, "-1 -1 1 -1 | /s 5000"},
        {{"/c", "a  b", "--speed", "3", "x", "y"}, "2 -1 -1 -1 | /c a  b x y"},
        {{"-window-id", "0x2a00007"}, "-1 -1 -1 -1 id 44040199"},
        {{"--window-id", "44040199"}, "-1 -1 -1 -1 id 44040199"},
        {{"-window-id", "12z"}, "-1 -1 -1 -1"},
        {{"--scale", "3", "-window", "--monitors", "primary", "--seed", "4294967295"},
         "-1 -1 -1 -1 scale 3 window primary seed 4294967295"},
        {{"--scale", "2", "--scale", "fill", "--monitors", "all", "--seed", "0"}, "-1 -1 -1 -1 seed 0"},
        {{"--scale", "65", "--monitors", "second", "--seed", "4294967296"}, "-1 -1 -1 -1"},
        {{"--scale", "0", "--seed", "-1"}, "-1 -1 -1 -1"},
    };
    for (const auto& c : cases) EXPECT_EQ(parsed(c.args), c.options) << &c - cases;
}

// Runs in a scratch folder with the environment set per case.
class SdlHostPlaces : public ::testing::Test {
protected:
    std::string root, saved, home;
    void SetUp() override {
        char scratch[] = "/tmp/pellrun-host-XXXXXX", cwd[1024];
        home = std::getenv("HOME") ? std::getenv("HOME") : "";
        root = mkdtemp(scratch);
        saved = getcwd(cwd, sizeof cwd);
        ASSERT_EQ(chdir(root.c_str()), 0);
        unsetenv("PELLRUN_DATA");
        unsetenv("XDG_CONFIG_HOME");
        setenv("HOME", (root + "/home").c_str(), 1);
    }
    void TearDown() override {
        setenv("HOME", home.c_str(), 1);
        ASSERT_EQ(chdir(saved.c_str()), 0);
        ASSERT_EQ(std::system(("rm -rf " + root).c_str()), 0);
    }
    std::string program(std::string path) const {  // the folders as the program writes them
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }
    char buffer[300];
    std::string data(const char* exeDir) { return hostDataFolder(exeDir, buffer, sizeof buffer) ? buffer : ""; }
    std::string settings(bool forWrite) { return hostSettingsFile(buffer, sizeof buffer, forWrite) ? buffer : ""; }
};

TEST_F(SdlHostPlaces, DataFolderFromEnvironmentWorkingFolderOrInstallation) {
    ASSERT_EQ(std::system("mkdir -p usr/bin usr/share/pellrun usr/libexec/xscreensaver"), 0);
    const std::string bin = root + "/usr/bin";
    EXPECT_EQ(data(bin.c_str()), program(root + "/usr/bin/../share/pellrun/"));
    EXPECT_EQ(data((root + "/usr/libexec/xscreensaver").c_str()),
              program(root + "/usr/libexec/xscreensaver/../../share/pellrun/"));
    mkdir((root + "/Data").c_str(), 0755);
    EXPECT_EQ(data(bin.c_str()), program(root + "/Data/"));
    setenv("PELLRUN_DATA", "/opt/songs", 1);
    EXPECT_EQ(data(bin.c_str()), "\\opt\\songs\\");
    unsetenv("PELLRUN_DATA");
}

TEST_F(SdlHostPlaces, SettingsInConfigFolderMadeOnSaveUnlessDataHasOne) {
    const std::string home = program(root + "/home/.config/pellrun/Setup.ini");
    EXPECT_EQ(settings(false), home);
    struct stat info;
    EXPECT_NE(stat((root + "/home/.config/pellrun").c_str(), &info), 0);
    mkdir((root + "/home").c_str(), 0755);
    EXPECT_EQ(settings(true), home);
    EXPECT_EQ(stat((root + "/home/.config/pellrun").c_str(), &info), 0);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    EXPECT_EQ(settings(true), program(root + "/config/pellrun/Setup.ini"));
    // A Setup.ini already in Data under the working folder is the one used.
    mkdir((root + "/Data").c_str(), 0755);
    EXPECT_EQ(settings(false), program(root + "/config/pellrun/Setup.ini"));
    std::fclose(std::fopen((root + "/Data/Setup.ini").c_str(), "w"));
    EXPECT_EQ(settings(true), program(root + "/Data/Setup.ini"));
    unsetenv("XDG_CONFIG_HOME");
}

// The run-time folder is one only the user can reach: $XDG_RUNTIME_DIR, else a folder of
// the user's own in the shared tmp, else one in the user's cache folder.
TEST_F(SdlHostPlaces, RuntimeFolderOnlyTheUserCanReach) {
    unsetenv("XDG_CACHE_HOME");
    setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
    const std::string tmp = root + "/tmp", own = tmp + "/pellrun-" + std::to_string(geteuid()),
                      cache = root + "/home/.cache/pellrun";
    const struct {
        std::string setUp;   // shell command in the scratch folder
        std::string folder;  // the folder chosen, "" for none
    } cases[] = {
        {"mkdir -m 700 run", root + "/run"},
        {"mkdir -m 755 run", own},
        {"ln -s tmp run", own},
        {"touch " + own, cache},
        {"mkdir -m 700 mine && ln -s ../mine " + own, cache},
        {"mkdir -m 777 " + own, cache},
        {"chmod 777 tmp", cache},  // others could remove the folder from a tmp without the sticky bit
        {"touch " + own + " && mkdir -m 700 home && touch home/.cache", ""},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(std::system("rm -rf run tmp home mine && mkdir -m 1777 tmp"), 0);
        ASSERT_EQ(std::system(c.setUp.c_str()), 0) << c.setUp;
        EXPECT_EQ(hostRuntimeFolder(tmp.c_str(), buffer, sizeof buffer) ? buffer : "", c.folder) << c.setUp;
    }
    unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
