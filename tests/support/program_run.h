// Runs the whole program on the headless platform inside the test process, in a fresh
// temporary working directory with a Data folder.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/startup.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_sound.h"

struct ProgramRun {
    HeadlessConfig config;
    std::string directory;
    std::string previousDirectory;

    ProgramRun() {
        char buffer[4096];
        previousDirectory = getcwd(buffer, sizeof buffer) ? buffer : ".";
        char pattern[] = "/tmp/pellrun-test-XXXXXX";
        directory = mkdtemp(pattern);
        std::string data = directory + "/Data";
        mkdir(data.c_str(), 0755);
        if (chdir(directory.c_str()) != 0) std::abort();
    }
    ~ProgramRun() {
        if (chdir(previousDirectory.c_str()) != 0) std::abort();
        std::string command = "rm -rf '" + directory + "'";
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "cleanup failed\n");
    }

    std::string dataPath(const char* name) const { return directory + "/Data/" + name; }

    void writeData(const char* name, const std::vector<uint8_t>& bytes) const {
        FILE* f = std::fopen(dataPath(name).c_str(), "wb");
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    std::vector<uint8_t> readData(const char* name) const {
        std::vector<uint8_t> bytes;
        FILE* f = std::fopen(dataPath(name).c_str(), "rb");
        if (!f) return bytes;
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
        std::fclose(f);
        return bytes;
    }

    // Prepares the platform, with empty sound logs; script input with headlessScript after this.
    void begin() {
        resetProgramState();
        headlessReset(config);
        headlessSoundReset();
    }
    int run(const char* commandLine) { return pellrunMain(commandLine, 1); }
};

inline intptr_t mouseAt(int x, int y) { return intptr_t(uint32_t(x) | uint32_t(y) << 16); }
