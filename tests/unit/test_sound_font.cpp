// The soundfont filter: drum kits other than the standard one leave the preset list,
// with bags, generators and modulators renumbered; every other byte of the file is read
// as it is.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sdl/sound_font.h"

namespace {

using Bytes = std::vector<uint8_t>;

void add16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void add32(Bytes& b, uint32_t v) {
    add16(b, v);
    add16(b, v >> 16);
}
void addChunk(Bytes& b, const char* id, const Bytes& data) {
    b.insert(b.end(), id, id + 4);
    add32(b, uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() & 1) b.push_back(0);
}
uint32_t get16(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8); }
uint32_t get32(const uint8_t* p) { return get16(p) | get16(p + 2) << 16; }

struct Preset {
    uint16_t program, bank;
    std::vector<std::pair<int, int>> bags;  // generators and modulators of each bag
};

// A preset list of the given presets: generator k has amount k, modulator k source k,
// and each list has its terminal record.
Bytes presetList(const std::vector<Preset>& presets) {
    Bytes phdr, pbag, pmod, pgen;
    uint32_t bag = 0, gen = 0, mod = 0;
    auto header = [&](const char* name, uint16_t program, uint16_t bank) {
        char text[20] = {};
        std::strncpy(text, name, sizeof text - 1);
        phdr.insert(phdr.end(), text, text + 20);
        add16(phdr, program);
        add16(phdr, bank);
        add16(phdr, bag);
        add32(phdr, 0);
        add32(phdr, 0);
        add32(phdr, 0);
    };
    for (const Preset& p : presets) {
        header("preset", p.program, p.bank);
        for (const auto& counts : p.bags) {
            add16(pbag, gen);
            add16(pbag, mod);
            for (int i = 0; i < counts.first; ++i, ++gen) {
                add16(pgen, 1);
                add16(pgen, gen);
            }
            for (int i = 0; i < counts.second; ++i, ++mod) {
                add16(pmod, mod);
                for (int k = 0; k < 8; ++k) pmod.push_back(uint8_t(k));
            }
            ++bag;
        }
    }
    header("EOP", 0, 0);
    add16(pbag, gen);
    add16(pbag, mod);
    add32(pgen, 0xDEAD);
    pmod.insert(pmod.end(), 10, 0xEE);
    Bytes body;
    addChunk(body, "phdr", phdr);
    addChunk(body, "pbag", pbag);
    addChunk(body, "pmod", pmod);
    addChunk(body, "pgen", pgen);
    addChunk(body, "inst", Bytes(44, 7));
    addChunk(body, "igen", Bytes(8, 9));
    return body;
}

// The sub-chunk id of a LIST chunk's body, or an empty span.
std::pair<const uint8_t*, uint32_t> subChunk(const Bytes& list, const char* id) {
    for (size_t at = 12; at + 8 <= list.size();) {
        const uint32_t size = get32(&list[at + 4]);
        if (std::memcmp(&list[at], id, 4) == 0) return {&list[at + 8], size};
        at += 8 + size + (size & 1);
    }
    return {nullptr, 0};
}

Bytes filtered(const Bytes& body) {
    Bytes out(body.size() + 12);
    const uint32_t n = soundFontFilterKits(body.data(), uint32_t(body.size()), out.data());
    out.resize(n);
    return out;
}

TEST(SoundFont, OtherKitsLeaveAndTheRestIsRenumbered) {
    const Bytes body = presetList({{0, 0, {{2, 1}}},
                                   {0, 128, {{1, 0}, {3, 1}}},
                                   {8, 128, {{4, 2}}},
                                   {1, 0, {{1, 0}, {2, 1}}}});
    const Bytes list = filtered(body);
    ASSERT_GT(list.size(), 12u);
    EXPECT_EQ(std::memcmp(list.data(), "LIST", 4), 0);
    EXPECT_EQ(get32(&list[4]), list.size() - 8);
    EXPECT_EQ(std::memcmp(&list[8], "pdta", 4), 0);

    // Programs, banks and first bags of the kept presets; their bags, generators and
    // modulators in order; terminals kept; the instruments untouched.
    struct Field {
        const char* chunk;
        uint32_t size, recordSize, offset, bytes;
        std::vector<uint32_t> values;
    } fields[] = {
        {"phdr", 4 * 38, 38, 20, 2, {0, 0, 1, 0}},
        {"phdr", 4 * 38, 38, 22, 2, {0, 128, 0, 0}},
        {"phdr", 4 * 38, 38, 24, 2, {0, 1, 3, 5}},
        {"pbag", 6 * 4, 4, 0, 2, {0, 2, 3, 6, 7, 9}},
        {"pbag", 6 * 4, 4, 2, 2, {0, 1, 1, 2, 2, 3}},
        {"pgen", 10 * 4, 4, 2, 2, {0, 1, 2, 3, 4, 5, 10, 11, 12}},  // generator k has amount k
        {"pgen", 10 * 4, 4, 0, 2, {1, 1, 1, 1, 1, 1, 1, 1, 1, 0xDEAD}},
        {"pmod", 4 * 10, 10, 0, 2, {0, 1, 4, 0xEEEE}},
        {"inst", 44, 4, 0, 4, {0x07070707}},
        {"igen", 8, 4, 0, 4, {0x09090909}},
    };
    for (const Field& f : fields) {
        const auto chunk = subChunk(list, f.chunk);
        ASSERT_EQ(chunk.second, f.size) << f.chunk;
        for (size_t k = 0; k < f.values.size(); ++k) {
            const uint8_t* p = chunk.first + k * f.recordSize + f.offset;
            EXPECT_EQ(f.bytes == 2 ? get16(p) : get32(p), f.values[k]) << f.chunk << " " << k;
        }
    }
    EXPECT_EQ(std::memcmp(subChunk(list, "phdr").first + 3 * 38, "EOP", 3), 0);
}

TEST(SoundFont, WithoutOtherKitsTheListIsTheSame) {
    const Bytes body = presetList({{0, 0, {{2, 1}}}, {0, 128, {{1, 0}}}});
    const Bytes list = filtered(body);
    ASSERT_EQ(list.size(), body.size() + 12);
    EXPECT_EQ(std::memcmp(list.data() + 12, body.data(), body.size()), 0);
}

TEST(SoundFont, MalformedListsAreRefused) {
    Bytes body = presetList({{0, 0, {{2, 1}}}, {8, 128, {{1, 0}}}});
    // A bag index past the bags.
    Bytes broken = body;
    broken[8 + 38 + 24] = 40;
    EXPECT_TRUE(filtered(broken).empty());
    // A sub-chunk longer than the list.
    broken = body;
    broken[4] = 0xFF;
    broken[5] = 0xFF;
    EXPECT_TRUE(filtered(broken).empty());
    // No generators at all.
    Bytes missing;
    addChunk(missing, "phdr", Bytes(76, 0));
    EXPECT_TRUE(filtered(missing).empty());
}

struct TempFile {
    std::string path;
    explicit TempFile(const Bytes& bytes) {
        char pattern[] = "/tmp/pellrun-sf-XXXXXX";
        const int fd = mkstemp(pattern);
        path = pattern;
        if (fd >= 0) {
            if (write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) path.clear();
            close(fd);
        }
    }
    ~TempFile() { std::remove(path.c_str()); }
};

Bytes soundFontFile(const Bytes& pdtaBody) {
    Bytes info, sdta, pdta;
    info.insert(info.end(), {'I', 'N', 'F', 'O'});
    addChunk(info, "ifil", Bytes{2, 0, 1, 0});
    sdta.insert(sdta.end(), {'s', 'd', 't', 'a'});
    Bytes samples(1000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint8_t(i * 7);
    addChunk(sdta, "smpl", samples);
    pdta.insert(pdta.end(), {'p', 'd', 't', 'a'});
    pdta.insert(pdta.end(), pdtaBody.begin(), pdtaBody.end());
    Bytes riff{'s', 'f', 'b', 'k'};
    addChunk(riff, "LIST", info);
    addChunk(riff, "LIST", sdta);
    addChunk(riff, "LIST", pdta);
    Bytes file;
    addChunk(file, "RIFF", riff);
    return file;
}

Bytes readAll(SoundFontFile* font) {
    Bytes bytes(soundFontSize(font));
    if (!soundFontRead(font, bytes.data(), bytes.size())) bytes.clear();
    return bytes;
}

TEST(SoundFont, FileReadsThePrefixAsItIsAndTheFilteredListAfter) {
    const Bytes body = presetList({{0, 0, {{2, 1}}}, {8, 128, {{4, 2}}}, {1, 0, {{1, 0}}}});
    const Bytes original = soundFontFile(body);
    TempFile temp(original);
    ASSERT_FALSE(temp.path.empty());
    SoundFontFile* font = soundFontOpen(temp.path.c_str());
    ASSERT_NE(font, nullptr);
    const Bytes list = filtered(body);
    const size_t prefix = original.size() - (body.size() + 12);
    ASSERT_EQ(soundFontSize(font), prefix + list.size());

    const Bytes seen = readAll(font);
    ASSERT_EQ(seen.size(), prefix + list.size());
    EXPECT_EQ(get32(&seen[4]), seen.size() - 8);
    EXPECT_EQ(std::memcmp(seen.data(), original.data(), 4), 0);
    EXPECT_EQ(std::memcmp(seen.data() + 8, original.data() + 8, prefix - 8), 0);
    EXPECT_EQ(std::memcmp(seen.data() + prefix, list.data(), list.size()), 0);

    // Reads in pieces across the RIFF size and the start of the list, with seeks.
    ASSERT_TRUE(soundFontSeek(font, 2, 0));
    uint8_t piece[8];
    ASSERT_TRUE(soundFontRead(font, piece, 8));
    EXPECT_EQ(std::memcmp(piece, seen.data() + 2, 8), 0);
    ASSERT_TRUE(soundFontSeek(font, -3, 2));
    EXPECT_EQ(soundFontTell(font), int64_t(seen.size() - 3));
    EXPECT_FALSE(soundFontRead(font, piece, 4));
    ASSERT_TRUE(soundFontSeek(font, int64_t(prefix) - 4, 0));
    ASSERT_TRUE(soundFontSeek(font, 0, 1));
    ASSERT_TRUE(soundFontRead(font, piece, 8));
    EXPECT_EQ(std::memcmp(piece, seen.data() + prefix - 4, 8), 0);
    EXPECT_FALSE(soundFontSeek(font, -1, 0));
    soundFontClose(font);

    // Other files are read as they are.
    Bytes notFont(300);
    for (size_t i = 0; i < notFont.size(); ++i) notFont[i] = uint8_t(i);
    TempFile other(notFont);
    font = soundFontOpen(other.path.c_str());
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(readAll(font), notFont);
    soundFontClose(font);
    EXPECT_EQ(soundFontOpen("/nonexistent/pellrun.sf2"), nullptr);
}

// The installed General MIDI font, when there is one: only the standard kit is left of
// the drum kits, and every melodic preset stays.
TEST(SoundFont, InstalledFontKeepsOnlyTheStandardKit) {
    const char* path = "/usr/share/sounds/sf2/default-GM.sf2";
    if (access(path, R_OK) != 0) GTEST_SKIP() << "no General MIDI soundfont";
    SoundFontFile* font = soundFontOpen(path);
    ASSERT_NE(font, nullptr);
    const Bytes seen = readAll(font);
    soundFontClose(font);
    const char tag[] = {'p', 'd', 't', 'a'};
    auto at = seen.begin();
    do at = std::search(at + 1, seen.end(), tag, tag + 4);
    while (at != seen.end() && (at - seen.begin() < 8 || std::memcmp(&at[-8], "LIST", 4) != 0));
    ASSERT_NE(at, seen.end());
    const Bytes list(at - 8, seen.end());
    const auto phdr = subChunk(list, "phdr");
    ASSERT_NE(phdr.first, nullptr);
    int kits = 0, melodic = 0;
    for (uint32_t p = 0; p + 1 < phdr.second / 38; ++p) {
        if (get16(phdr.first + p * 38 + 22) == 128) {
            ++kits;
            EXPECT_EQ(get16(phdr.first + p * 38 + 20), 0u);
        } else {
            ++melodic;
        }
    }
    EXPECT_EQ(kits, 1);
    EXPECT_GE(melodic, 128);
}

}  // namespace
