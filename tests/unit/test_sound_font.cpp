// The soundfont filter: drum kits other than the standard one leave the preset list,
// with bags, generators and modulators renumbered; every other byte of the file is read
// as it is.
#include <unistd.h>

#include <cstring>

#include "midi_files.h"
#include "platform/sdl/sound_font.h"

namespace {

void add16(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void addChunk(Bytes& b, const char* id, const Bytes& data) {
    b.insert(b.end(), id, id + 4);
    add16(b, uint32_t(data.size()));
    add16(b, uint32_t(data.size()) >> 16);
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() & 1) b.push_back(0);
}
uint32_t get16(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8); }
uint32_t get32(const uint8_t* p) { return get16(p) | get16(p + 2) << 16; }
// Where the body of sub-chunk id starts in a chunk list, or 0.
size_t subChunk(const Bytes& list, size_t at, const char* id) {
    for (; at + 8 <= list.size(); at += 8 + get32(&list[at + 4]) + (list[at + 4] & 1))
        if (std::memcmp(&list[at], id, 4) == 0) return at + 8;
    return 0;
}

struct Preset {
    uint16_t program, bank;
    std::vector<std::pair<int, int>> bags;  // generators and modulators of each bag
};

// The body of a preset list. Each generator and modulator names its preset and its own
// number in it, so the list of the presets a filter keeps is what the filter must give.
Bytes presetList(const std::vector<Preset>& presets) {
    Bytes phdr, pbag, pmod, pgen, body;
    uint32_t bag = 0, gen = 0, mod = 0;
    auto header = [&](uint16_t program, uint16_t bank) {
        phdr.resize(phdr.size() + 20, 'p');
        for (uint32_t v : {uint32_t(program), uint32_t(bank), bag}) add16(phdr, v);
        phdr.resize(phdr.size() + 12, 0);
    };
    for (const Preset& p : presets) {
        header(p.program, p.bank);
        int k = 0;
        for (const auto& counts : p.bags) {
            add16(pbag, gen);
            add16(pbag, mod);
            for (int i = 0; i < counts.first; ++i, ++gen, ++k) {
                add16(pgen, p.program + p.bank);
                add16(pgen, k);
            }
            for (int i = 0; i < counts.second; ++i, ++mod, ++k)
                pmod.insert(pmod.end(), {uint8_t(p.program), uint8_t(p.bank), uint8_t(k), 1, 2, 3, 4, 5, 6, 7});
            ++bag;
        }
    }
    header(0, 0);
    add16(pbag, gen);
    add16(pbag, mod);
    pgen.insert(pgen.end(), {0xAD, 0xDE, 0, 0});
    pmod.insert(pmod.end(), 10, 0xEE);
    const std::pair<const char*, Bytes> chunks[] = {{"phdr", phdr}, {"pbag", pbag}, {"pmod", pmod},
                                                    {"pgen", pgen}, {"inst", Bytes(44, 7)}, {"igen", Bytes(8, 9)}};
    for (const auto& c : chunks) addChunk(body, c.first, c.second);
    return body;
}

Bytes listOf(const char* type, const Bytes& body) {
    Bytes list(type, type + 4), out;
    list.insert(list.end(), body.begin(), body.end());
    addChunk(out, "LIST", list);
    return out;
}

// A soundfont with the preset list last, as the filter needs it.
Bytes soundFontFile(const Bytes& presets) {
    Bytes samples(1000), info = listOf("INFO", {'i', 'f', 'i', 'l', 4, 0, 0, 0, 2, 0, 1, 0}), file;
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint8_t(i * 7);
    Bytes sdta;
    addChunk(sdta, "smpl", samples);
    Bytes riff = {'s', 'f', 'b', 'k'};
    for (const Bytes& list : {info, listOf("sdta", sdta), listOf("pdta", presets)})
        riff.insert(riff.end(), list.begin(), list.end());
    addChunk(file, "RIFF", riff);
    return file;
}

const std::string FontPath = testing::TempDir() + "pellrun-font.sf2";

Bytes readAll(SoundFontFile* font) {
    Bytes bytes(soundFontSize(font));
    if (!soundFontRead(font, bytes.data(), bytes.size())) bytes.clear();
    return bytes;
}

// Each list inside a file: what is left is the list of the presets kept (the RIFF size
// following it); a malformed list is refused and the file read as it is.
TEST(SoundFont, OtherKitsLeaveTheListAndTheFileAndTheRestIsRenumbered) {
    const Preset piano{0, 0, {{2, 1}}}, kit{0, 128, {{1, 0}, {3, 1}}}, other{8, 128, {{4, 2}}},
        organ{1, 0, {{1, 0}, {2, 1}}};
    const struct {
        std::vector<Preset> in, kept;
        const char* chunk;  // malformed: this byte of this sub-chunk changed
        int offset;
        uint8_t value;
    } rows[] = {
        {{piano, kit, other, organ}, {piano, kit, organ}, nullptr, 0, 0},
        {{other, piano}, {piano}, nullptr, 0, 0},
        {{piano, kit}, {piano, kit}, nullptr, 0, 0},
        {{other}, {}, nullptr, 0, 0},
        {{piano, other}, {}, "phdr", 38 + 24, 40},  // a bag index past the bags
        {{piano, other}, {}, "phdr", -2, 0xFF},     // a sub-chunk longer than the list
        {{piano, other}, {}, "pgen", -8, 'x'},      // no generators
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(&r - rows);
        Bytes body = presetList(r.in);
        if (r.chunk) body[subChunk(body, 0, r.chunk) + r.offset] = r.value;
        SoundFontFile* font = soundFontOpen(writeFile(FontPath, soundFontFile(body)).c_str());
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(readAll(font), soundFontFile(r.chunk ? body : presetList(r.kept)));
        soundFontClose(font);
    }

    // Pieces across the RIFF size and the start of the filtered list, and seeks.
    const Bytes seen = soundFontFile(presetList(rows[0].kept));
    SoundFontFile* font = soundFontOpen(writeFile(FontPath, soundFontFile(presetList(rows[0].in))).c_str());
    ASSERT_NE(font, nullptr);
    uint8_t piece[8];
    for (size_t at = 2; at + 8 <= seen.size(); at += 3) {
        ASSERT_TRUE(soundFontSeek(font, int64_t(at) - 2, 0) && soundFontSeek(font, 2, 1));
        ASSERT_TRUE(soundFontRead(font, piece, 8));
        ASSERT_EQ(std::memcmp(piece, &seen[at], 8), 0) << at;
    }
    ASSERT_TRUE(soundFontSeek(font, -3, 2));
    EXPECT_EQ(soundFontTell(font), int64_t(seen.size() - 3));
    EXPECT_FALSE(soundFontRead(font, piece, 4));
    EXPECT_FALSE(soundFontSeek(font, -1, 0));
    soundFontClose(font);
    EXPECT_EQ(soundFontOpen("/nonexistent/pellrun.sf2"), nullptr);
}

// The installed General MIDI font, when there is one: only the standard kit is left of
// the drum kits, and every melodic preset stays.
TEST(SoundFont, InstalledFontKeepsOnlyTheStandardKit) {
    const char* path = "/usr/share/sounds/sf2/default-GM.sf2";
    if (access(path, R_OK) != 0) GTEST_SKIP() << "no General MIDI soundfont";
    SoundFontFile* font = soundFontOpen(path);
    const Bytes seen = readAll(font);
    soundFontClose(font);
    // The lists of the file in turn, to the preset list.
    size_t list = 12;
    while ((list = subChunk(seen, list, "LIST")) && std::memcmp(&seen[list], "pdta", 4) != 0)
        list += get32(&seen[list - 4]);
    const size_t phdr = list ? subChunk(seen, list + 4, "phdr") : 0;
    ASSERT_NE(phdr, 0u);
    int kits = 0, melodic = 0;
    for (size_t p = phdr; p + 2 * 38 <= phdr + get32(&seen[phdr - 4]); p += 38) {
        const uint32_t program = get16(&seen[p + 20]), bank = get16(&seen[p + 22]);
        ++(bank == 128 ? kits : melodic);
        EXPECT_TRUE(bank != 128 || program == 0) << program;
    }
    EXPECT_EQ(kits, 1);
    EXPECT_GE(melodic, 128);
}

}  // namespace
