// Conversion of track events into stream events: the event words, the deltas, the
// buffer limit, the loop, and tracks that are cut short or malformed.
#include "midi_files.h"

namespace {

class MidiConvert : public MidiTest {};

TEST_F(MidiConvert, RunningStatusAndProgramChangeMakeShortEvents) {
    auto events = play(cat({{0x00, 0x90, 0x3C, 0x64, 0x00, 0x3C, 0x00},
                            {0x00, 0xC5, 0x10, 0x00, 0xE1, 0x00, 0x40},
                            {0x00}, EndOfTrack}));
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events[0].word, 0x00643C90u);
    EXPECT_EQ(events[1].word, 0x00003C90u);
    EXPECT_EQ(events[2].word, 0x000010C5u);
    EXPECT_EQ(events[3].word, 0x004000E1u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(events[i].streamId, 0u);
}

// Events that write nothing leave their ticks to the next event written.
TEST_F(MidiConvert, SkippedEventsKeepTheirTicks) {
    struct Case {
        Bytes track;
        uint32_t delta;
    } cases[] = {
        {cat({{0x0A, 0xFF, 0x01, 0x03, 'a', 'b', 'c'}, {0x05, 0x90, 0x3C, 0x64}}), 15},
        // A set-tempo event without its three bytes is malformed and writes nothing.
        {cat({{0x00, 0xFF, 0x51, 0x01, 0x07}, {0x00, 0x90, 0x3C, 0x64}}), 0},
        // Other system messages are skipped with their data.
        {cat({{0x01, 0xF2, 0x01, 0x02}, {0x02, 0xF1, 0x05}, {0x03, 0xF6}, {0x04, 0x90, 0x3C, 0x64}}), 10},
    };
    for (const Case& c : cases) {
        restart();
        auto events = play(cat({c.track, {0x00}, EndOfTrack}));
        ASSERT_GE(events.size(), 1u) << &c - cases;
        EXPECT_EQ(events[0].word, 0x00643C90u) << &c - cases;
        EXPECT_EQ(events[0].delta, c.delta) << &c - cases;
    }
}

TEST_F(MidiConvert, TempoEventSetsTempoAndIsWritten) {
    auto events = play(cat({{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},
                            {0x00, 0x90, 0x3C, 0x64}, {0x00}, EndOfTrack}));
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].word, 0x0107A120u);
    EXPECT_EQ(player.tempo, 500000u);
}

TEST_F(MidiConvert, SystemExclusiveIsPaddedLongEvent) {
    play(cat({{0x00, 0xF0, 0x05, 0x43, 0x10, 0x4C, 0x00, 0xF7},
              {0x00, 0x90, 0x3C, 0x64}, {0x00}, EndOfTrack}));
    auto events = inBuffer(0);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].word, 0x80000006u);
    EXPECT_EQ(events[0].bytes, (Bytes{0xF0, 0x43, 0x10, 0x4C, 0x00, 0xF7}));
    // 12 + 8 bytes, then the note; the padding is zero.
    const char* data = player.headers[0].data;
    EXPECT_EQ(data[18], 0);
    EXPECT_EQ(data[19], 0);
    uint32_t word;
    std::memcpy(&word, data + 20 + 8, 4);
    EXPECT_EQ(word, 0x00643C90u);
    // 312 pairs of 32 bytes; the 313th long event would reach 9992.
    EXPECT_EQ(player.headers[0].bytesRecorded, 9984u);
}

TEST_F(MidiConvert, EscapeIsSentWithoutPrefixAndEmptyEscapeIsSkipped) {
    auto events = play(cat({{0x00, 0xF7, 0x02, 0xF8, 0xFA}, {0x07, 0xF7, 0x00},
                            {0x03, 0x90, 0x3C, 0x64}, {0x00}, EndOfTrack}));
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].word, 0x80000002u);
    EXPECT_EQ(events[0].bytes, (Bytes{0xF8, 0xFA}));
    EXPECT_EQ(events[1].word, 0x00643C90u);
    EXPECT_EQ(events[1].delta, 10u);
}

TEST_F(MidiConvert, EndOfTrackLoopsToFirstEventWithItsOwnDelta) {
    auto events = play(cat({{0x20, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00},
                            {0x30}, EndOfTrack}));
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events[0].delta, 0x20u);
    EXPECT_EQ(events[1].delta, 0x60u);
    EXPECT_EQ(events[2].delta, 0x30u);   // not 0x30 + 0x20
    EXPECT_EQ(events[2].word, 0x00643C90u);
    EXPECT_EQ(events[2].buffer, 0u);     // the repeat fills the same buffer
}

TEST_F(MidiConvert, BufferTakes833ShortEventsAndTheNextStartsTheNextBuffer) {
    play(cat({{0x01, 0x90, 0x3C, 0x64, 0x02, 0x80, 0x3C, 0x00}, {0x03}, EndOfTrack}));
    EXPECT_EQ(outBytes(), (std::vector<uint32_t>{9996, 9996}));
    auto first = inBuffer(0);
    auto second = inBuffer(1);
    ASSERT_EQ(first.size(), 833u);
    // Event 833 (counting from 0) is a note-off: the pattern is on, off, on, off...
    EXPECT_EQ(first.back().word, 0x00643C90u);
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second[0].word, 0x00003C80u);
    EXPECT_EQ(second[0].delta, 2u);
    EXPECT_EQ(second[1].delta, 3u);
}

TEST_F(MidiConvert, LongEventThatDoesNotFitOpensTheNextBuffer) {
    Bytes big(5000, 0x11);
    big.back() = 0xF7;
    auto track = cat({{0x00, 0xF0}, quantity(uint32_t(big.size())), big, {0x00}, EndOfTrack});
    play(track);
    // 5001 bytes padded to 5004: one per buffer, since two would reach 10032.
    EXPECT_EQ(outBytes(), (std::vector<uint32_t>{5016, 5016}));
}

TEST_F(MidiConvert, LongEventThatCanNeverFitIsSkipped) {
    // 9983 bytes after F0: 9984 padded, the largest that fits an empty buffer.
    Bytes fits(9983, 0x22);
    play(cat({{0x00, 0xF0}, quantity(9983), fits, {0x00}, EndOfTrack}));
    EXPECT_EQ(outBytes(), (std::vector<uint32_t>{9996, 9996}));
    restart();
    // One byte more never fits: it is skipped and the note keeps the ticks.
    Bytes tooBig(9984, 0x22);
    auto events = play(cat({{0x04, 0xF0}, quantity(9984), tooBig,
                            {0x05, 0x90, 0x3C, 0x64}, {0x06}, EndOfTrack}));
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].word, 0x00643C90u);
    EXPECT_EQ(events[0].delta, 9u);
    EXPECT_EQ(events[1].delta, 6u + 5u);
    for (const HeadlessMidiEvent& e : events) EXPECT_EQ(e.word & 0x80000000u, 0u);
}

TEST_F(MidiConvert, TrackWithNothingToWriteQueuesNothingAndReturns) {
    auto events = play(cat({{0x10, 0xFF, 0x01, 0x01, 'x'}, {0x10}, EndOfTrack}));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(headlessSoundCount(SoundOut), 0u);
    EXPECT_TRUE(player.playing);
    // An empty track is the same.
    closeMusic();
    EXPECT_EQ(load(midiFile({})), 1);
    EXPECT_EQ(startSong(), 1);
    EXPECT_EQ(headlessSoundCount(SoundOut), 0u);
}

TEST_F(MidiConvert, TrackWithOnlyTempoEventsStillFillsBuffers) {
    play(cat({{0x60, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, {0x00}, EndOfTrack}));
    EXPECT_EQ(outBytes(), (std::vector<uint32_t>{9996, 9996}));
}

// Bytes that follow the track in the file, which must never be read as events.
const Bytes Trailer = {0x00, 0xC7, 0x01, 0x00, 0xC7, 0x02};

void expectOnlyNotes(const std::vector<HeadlessMidiEvent>& events) {
    ASSERT_FALSE(events.empty());
    for (const HeadlessMidiEvent& e : events) EXPECT_EQ(e.word & 0xFF, 0x90u) << std::hex << e.word;
}

TEST_F(MidiConvert, TrackWithoutEndOfTrackLoopsAtItsLength) {
    Bytes file = midiFile({0x00, 0x90, 0x3C, 0x64, 0x05, 0x90, 0x3E, 0x64});
    file.insert(file.end(), Trailer.begin(), Trailer.end());
    ASSERT_EQ(load(file), 1);
    ASSERT_EQ(startSong(), 1);
    expectOnlyNotes(headlessMidiEvents());
    EXPECT_EQ(outBytes(), (std::vector<uint32_t>{9996, 9996}));
}

TEST_F(MidiConvert, LengthsRunningPastTheTrackEndTheTrackThere) {
    const Bytes note = {0x00, 0x90, 0x3C, 0x64};
    const Bytes cutShort[] = {
        cat({note, {0x81}}),                            // delta quantity
        cat({note, {0x00, 0xFF, 0x01, 0x7F, 'a'}}),     // meta length
        cat({note, {0x00, 0xFF, 0x01, 0x81}}),          // meta length quantity
        cat({note, {0x00, 0xF0, 0x20, 0x01}}),          // system exclusive length
        cat({note, {0x00, 0xF7, 0x83}}),                // escape length quantity
        cat({note, {0x00, 0xFF}}),                      // meta type missing
        cat({note, {0x00, 0x90, 0x3C}}),                // data byte missing
        cat({note, {0x00, 0xF2, 0x01}}),                // song position cut short
    };
    for (const Bytes& track : cutShort) {
        restart();
        Bytes file = midiFile(track);
        file.insert(file.end(), Trailer.begin(), Trailer.end());
        ASSERT_EQ(load(file), 1);
        ASSERT_EQ(startSong(), 1);
        expectOnlyNotes(headlessMidiEvents());
    }
}

}  // namespace
