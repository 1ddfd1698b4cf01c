// make-songs: composes the songs and synthesises the effects into Data/.
//   make-songs DIR          write Bgm0-9.dat, In0-3.dat, Snd0-3.dat into DIR
//   make-songs --check DIR  compare what would be written with the files in DIR
#include <cstdio>
#include <cstring>
#include <string>

#include "compose.h"
#include "effects.h"

namespace {

bool readFile(const std::string& path, Bytes& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
    std::fclose(f);
    return true;
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
    if (argc != 2 && !check) {
        std::fprintf(stderr, "usage: make-songs DIR | make-songs --check DIR\n");
        return 2;
    }
    std::string dir = argv[argc - 1];
    if (!dir.empty() && dir.back() != '/') dir += '/';
    int failures = 0;
    auto deliver = [&](const std::string& name, const Bytes& bytes, double seconds, const char* title) {
        std::string path = dir + name + ".dat";
        if (check) {
            Bytes existing;
            if (!readFile(path, existing) || existing != bytes) {
                std::printf("%s differs from what the generator makes\n", path.c_str());
                ++failures;
            }
        } else if (!writeFile(path, bytes)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            ++failures;
        } else {
            std::printf("%-5s %6.1f s %7zu bytes  %s\n", name.c_str(), seconds, bytes.size(), title);
        }
    };
    double seconds = 0;
    for (size_t i = 0; i < backgroundSongs().size(); ++i) {
        Bytes song = composeSong(backgroundSongs()[i], &seconds);
        deliver("Bgm" + std::to_string(i), song, seconds, backgroundSongs()[i].name);
    }
    for (size_t i = 0; i < fanfares().size(); ++i) {
        Bytes song = composeSong(fanfares()[i], &seconds);
        deliver("In" + std::to_string(i), song, seconds, fanfares()[i].name);
    }
    const char* effects[4] = {"closing blip", "start: feet and murmur", "final-lap bell", "crowd"};
    for (int i = 0; i < 4; ++i) {
        Bytes wave = makeEffect(i, &seconds);
        deliver("Snd" + std::to_string(i), wave, seconds, effects[i]);
    }
    if (check && failures == 0) std::printf("all 18 files match\n");
    return failures ? 1 : 0;
}
