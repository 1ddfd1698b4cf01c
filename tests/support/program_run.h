// Runs the whole program on the headless platform inside the test process, in a fresh
// temporary working directory with a Data folder.
#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/startup.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_sound.h"

// The headless platform as the tests run it: text comes from the font the build makes for
// them (tests/font/make_font.py), never from a font package of the machine.
inline HeadlessConfig testConfig() {
    HeadlessConfig config;
    config.fontFile = PELLRUN_TEST_FONT;
    return config;
}

struct ProgramRun {
    HeadlessConfig config = testConfig();
    std::string directory, previousDirectory;

    ProgramRun() {
        char buffer[4096], pattern[] = "/tmp/pellrun-test-XXXXXX";
        previousDirectory = getcwd(buffer, sizeof buffer) ? buffer : ".";
        directory = mkdtemp(pattern);
        mkdir((directory + "/Data").c_str(), 0755);
        if (chdir(directory.c_str()) != 0) std::abort();
    }
    ~ProgramRun() {
        if (chdir(previousDirectory.c_str()) != 0) std::abort();
        if (std::system(("rm -rf '" + directory + "'").c_str()) != 0) std::fprintf(stderr, "cleanup failed\n");
    }

    void writeData(const char* name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(directory + "/Data/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::vector<uint8_t> readData(const char* name) const {
        std::ifstream f(directory + "/Data/" + name, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }

    // Prepares the platform, with empty sound logs; script input with headlessScript after this.
    void begin() {
        resetProgramState();
        headlessReset(config);
        headlessSoundReset();
    }
    int run(const char* commandLine) { return pellrunMain(commandLine, 1); }
};

inline intptr_t mouseAt(int x, int y) { return intptr_t((uint32_t(x) & 0xFFFF) | uint32_t(y) << 16); }
