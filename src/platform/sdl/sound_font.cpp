#include "platform/sdl/sound_font.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return uint32_t(u16(p)) | uint32_t(u16(p + 2)) << 16; }
void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

// Record sizes of the preset sub-chunks.
constexpr uint32_t PresetSize = 38, BagSize = 4, ModSize = 10, GenSize = 4;
constexpr uint16_t DrumBank = 128;

struct SubChunk {
    const uint8_t* data;
    uint32_t size;
};

// The standard kit and every melodic preset stay.
bool keepPreset(const uint8_t* header) { return u16(header + 22) != DrumBank || u16(header + 20) == 0; }

}  // namespace

uint32_t soundFontFilterKits(const uint8_t* body, uint32_t bodySize, uint8_t* out) {
    SubChunk phdr{}, pbag{}, pmod{}, pgen{};
    for (uint32_t at = 0; at + 8 <= bodySize;) {
        const uint32_t size = u32(body + at + 4);
        if (size > bodySize - at - 8) return 0;
        const SubChunk chunk{body + at + 8, size};
        if (std::memcmp(body + at, "phdr", 4) == 0) phdr = chunk;
        if (std::memcmp(body + at, "pbag", 4) == 0) pbag = chunk;
        if (std::memcmp(body + at, "pmod", 4) == 0) pmod = chunk;
        if (std::memcmp(body + at, "pgen", 4) == 0) pgen = chunk;
        at += 8 + size + (size & 1);
    }
    // Each list ends with a terminal record.
    if (!phdr.data || !pbag.data || !pmod.data || !pgen.data || phdr.size % PresetSize ||
        pbag.size % BagSize || pmod.size % ModSize || pgen.size % GenSize ||
        phdr.size < 2 * PresetSize || pbag.size < BagSize || pmod.size < ModSize ||
        pgen.size < GenSize)
        return 0;
    const uint32_t presets = phdr.size / PresetSize - 1, bags = pbag.size / BagSize - 1;
    const uint32_t mods = pmod.size / ModSize - 1, gens = pgen.size / GenSize - 1;
    // Bags, generators and modulators run in order, each record's from its own index up
    // to the next record's.
    for (uint32_t p = 0; p < presets; ++p)
        if (u16(phdr.data + p * PresetSize + 24) > u16(phdr.data + (p + 1) * PresetSize + 24))
            return 0;
    if (u16(phdr.data + presets * PresetSize + 24) > bags) return 0;
    for (uint32_t b = 0; b < bags; ++b)
        if (u16(pbag.data + b * BagSize) > u16(pbag.data + (b + 1) * BagSize) ||
            u16(pbag.data + b * BagSize + 2) > u16(pbag.data + (b + 1) * BagSize + 2))
            return 0;
    if (u16(pbag.data + bags * BagSize) > gens || u16(pbag.data + bags * BagSize + 2) > mods)
        return 0;

    // The new sub-chunks, each no larger than the old one, then the others as they were.
    uint8_t* const start = out;
    std::memcpy(out, "LIST", 4);
    std::memcpy(out + 8, "pdta", 4);
    uint8_t* to = out + 12;
    for (uint32_t at = 0; at + 8 <= bodySize;) {
        const uint32_t size = u32(body + at + 4);
        const uint8_t* id = body + at;
        const bool preset = std::memcmp(id, "phdr", 4) == 0 || std::memcmp(id, "pbag", 4) == 0 ||
                            std::memcmp(id, "pmod", 4) == 0 || std::memcmp(id, "pgen", 4) == 0;
        if (!preset) {
            const uint32_t whole = 8 + size + (size & 1);
            std::memmove(to, body + at, whole);
            to += whole;
        } else {
            std::memcpy(to, id, 4);
            uint8_t* records = to + 8;
            uint32_t written = 0, bag = 0, gen = 0, mod = 0;
            for (uint32_t p = 0; p <= presets; ++p) {
                const uint8_t* header = phdr.data + p * PresetSize;
                const bool terminal = p == presets;
                if (!terminal && !keepPreset(header)) continue;
                const uint32_t bag0 = u16(header + 24);
                const uint32_t bag1 = terminal ? bag0 : u16(header + PresetSize + 24);
                if (std::memcmp(id, "phdr", 4) == 0) {
                    std::memcpy(records + written, header, PresetSize);
                    put16(records + written + 24, bag);
                    written += PresetSize;
                }
                for (uint32_t b = bag0; b < bag1; ++b) {
                    const uint8_t* record = pbag.data + b * BagSize;
                    const uint32_t gen0 = u16(record), gen1 = u16(record + BagSize);
                    const uint32_t mod0 = u16(record + 2), mod1 = u16(record + BagSize + 2);
                    if (std::memcmp(id, "pbag", 4) == 0) {
                        put16(records + written, gen);
                        put16(records + written + 2, mod);
                        written += BagSize;
                    }
                    if (std::memcmp(id, "pgen", 4) == 0) {
                        std::memcpy(records + written, pgen.data + gen0 * GenSize,
                                    (gen1 - gen0) * GenSize);
                        written += (gen1 - gen0) * GenSize;
                    }
                    if (std::memcmp(id, "pmod", 4) == 0) {
                        std::memcpy(records + written, pmod.data + mod0 * ModSize,
                                    (mod1 - mod0) * ModSize);
                        written += (mod1 - mod0) * ModSize;
                    }
                    gen += gen1 - gen0;
                    mod += mod1 - mod0;
                }
                bag += bag1 - bag0;
            }
            // The terminal records: the last bag points past the generators and
            // modulators kept; the terminal generator and modulator stay as they were.
            if (std::memcmp(id, "pbag", 4) == 0) {
                put16(records + written, gen);
                put16(records + written + 2, mod);
                written += BagSize;
            }
            if (std::memcmp(id, "pgen", 4) == 0) {
                std::memcpy(records + written, pgen.data + gens * GenSize, GenSize);
                written += GenSize;
            }
            if (std::memcmp(id, "pmod", 4) == 0) {
                std::memcpy(records + written, pmod.data + mods * ModSize, ModSize);
                written += ModSize;
            }
            put32(to + 4, written);
            to += 8 + written;
        }
        at += 8 + size + (size & 1);
    }
    const uint32_t total = uint32_t(to - start);
    put32(start + 4, total - 8);
    return total;
}

struct SoundFontFile {
    int fd;
    uint64_t size;       // as read
    uint64_t prefix;     // bytes read from the file itself
    uint8_t* tail;       // the filtered preset list, after the prefix
    uint8_t riffSize[4];
    uint64_t position;
};

namespace {

bool readAt(int fd, uint8_t* buffer, uint64_t count, uint64_t offset) {
    while (count > 0) {
        const ssize_t n = pread(fd, buffer, size_t(count), off_t(offset));
        if (n <= 0) return false;
        buffer += n;
        count -= uint64_t(n);
        offset += uint64_t(n);
    }
    return true;
}

// Finds the preset list and puts its filtered form in place of it.
void filter(SoundFontFile* file, uint64_t fileSize) {
    uint8_t header[12];
    if (!readAt(file->fd, header, 12, 0) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "sfbk", 4) != 0 || 8 + uint64_t(u32(header + 4)) != fileSize)
        return;
    for (uint64_t at = 12; at + 12 <= fileSize;) {
        uint8_t chunk[12];
        if (!readAt(file->fd, chunk, 12, at)) return;
        const uint32_t size = u32(chunk + 4);
        const uint64_t end = at + 8 + size + (size & 1);
        if (end > fileSize) return;
        if (std::memcmp(chunk, "LIST", 4) == 0 && std::memcmp(chunk + 8, "pdta", 4) == 0) {
            // Only a preset list at the end of the file can change size in place.
            if (end != fileSize || size < 4) return;
            const uint32_t bodySize = size - 4;
            uint8_t* body = static_cast<uint8_t*>(std::malloc(bodySize));
            uint8_t* tail = static_cast<uint8_t*>(std::malloc(size_t(bodySize) + 12));
            uint32_t written = 0;
            if (body && tail && readAt(file->fd, body, bodySize, at + 12))
                written = soundFontFilterKits(body, bodySize, tail);
            std::free(body);
            if (written == 0) {
                std::free(tail);
                return;
            }
            file->tail = tail;
            file->prefix = at;
            file->size = at + written;
            put32(file->riffSize, uint32_t(file->size - 8));
            return;
        }
        at = end;
    }
}

}  // namespace

SoundFontFile* soundFontOpen(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0) close(fd);
        return nullptr;
    }
    SoundFontFile* file = static_cast<SoundFontFile*>(std::calloc(1, sizeof(SoundFontFile)));
    if (!file) {
        close(fd);
        return nullptr;
    }
    file->fd = fd;
    file->size = file->prefix = uint64_t(info.st_size);
    filter(file, uint64_t(info.st_size));
    return file;
}

bool soundFontRead(SoundFontFile* file, void* buffer, uint64_t count) {
    if (!file || count > file->size || file->position > file->size - count) return false;
    uint8_t* to = static_cast<uint8_t*>(buffer);
    const uint64_t begin = file->position;
    if (begin < file->prefix) {
        const uint64_t n = count < file->prefix - begin ? count : file->prefix - begin;
        if (!readAt(file->fd, to, n, begin)) return false;
        // The RIFF size counts the shorter preset list.
        if (file->tail)
            for (uint64_t i = 4; i < 8; ++i)
                if (i >= begin && i < begin + n) to[i - begin] = file->riffSize[i - 4];
        to += n;
        file->position += n;
        count -= n;
    }
    if (count > 0) std::memcpy(to, file->tail + (file->position - file->prefix), size_t(count));
    file->position += count;
    return true;
}

bool soundFontSeek(SoundFontFile* file, int64_t offset, int origin) {
    if (!file) return false;
    int64_t base = 0;
    if (origin == 1) base = int64_t(file->position);
    else if (origin == 2) base = int64_t(file->size);
    else if (origin != 0) return false;
    const int64_t to = base + offset;
    if (to < 0 || uint64_t(to) > file->size) return false;
    file->position = uint64_t(to);
    return true;
}

int64_t soundFontTell(const SoundFontFile* file) { return file ? int64_t(file->position) : -1; }

uint64_t soundFontSize(const SoundFontFile* file) { return file ? file->size : 0; }

void soundFontClose(SoundFontFile* file) {
    if (!file) return;
    close(file->fd);
    std::free(file->tail);
    std::free(file);
}
