// Conversion of track events into stream events: the event words, the deltas, the
// buffer limit, the loop, and tracks that are cut short or malformed.
#include "midi_files.h"

namespace {

class MidiConvert : public MidiTest {};

const uint32_t NoteOn = 0x00643C90u;  // 90 3C 64

// The first stream events of a track, and the bytes of the first when it is a long
// event, and its padding (zeros).
TEST_F(MidiConvert, EventWordsAndDeltas) {
    struct Case {
        Bytes track;
        std::vector<std::pair<uint32_t, uint32_t>> events;   // word and delta
        uint8_t end = 0;  // the delta of the end of the track
        Bytes firstBytes = {};
    } cases[] = {
        // Running status; program change and pitch bend are short events too.
        {{0x00, 0x90, 0x3C, 0x64, 0x00, 0x3C, 0x00, 0x00, 0xC5, 0x10, 0x00, 0xE1, 0x00, 0x40},
         {{NoteOn, 0}, {0x00003C90, 0}, {0x000010C5, 0}, {0x004000E1, 0}}},
        // Events that write nothing leave their ticks to the next event written: a text
        // event, a set-tempo event without its three bytes, other system messages.
        {cat({{0x0A, 0xFF, 0x01, 0x03, 'a', 'b', 'c'}, {0x05, 0x90, 0x3C, 0x64}}), {{NoteOn, 15}}},
        {cat({{0x00, 0xFF, 0x51, 0x01, 0x07}, {0x00, 0x90, 0x3C, 0x64}}), {{NoteOn, 0}}},
        {cat({{0x01, 0xF2, 0x01, 0x02}, {0x02, 0xF1, 0x05}, {0x03, 0xF6}, {0x04, 0x90, 0x3C, 0x64}}),
         {{NoteOn, 10}}},
        // A tempo event is written.
        {{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0x90, 0x3C, 0x64}, {{0x0107A120, 0}, {NoteOn, 0}}},
        // A system exclusive message is a long event with its F0, padded to whole words.
        {{0x00, 0xF0, 0x05, 0x43, 0x10, 0x4C, 0x00, 0xF7, 0x00, 0x90, 0x3C, 0x64},
         {{0x80000006, 0}, {NoteOn, 0}}, 0, {0xF0, 0x43, 0x10, 0x4C, 0x00, 0xF7}},
        // An escape is sent without its prefix; an empty one is skipped.
        {{0x00, 0xF7, 0x02, 0xF8, 0xFA, 0x07, 0xF7, 0x00, 0x03, 0x90, 0x3C, 0x64},
         {{0x80000002, 0}, {NoteOn, 10}}, 0, {0xF8, 0xFA}},
        // The end of the track loops to the first event with its own delta.
        {{0x20, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00}, {{NoteOn, 0x20}, {0x00003C80, 0x60}, {NoteOn, 0x30}}, 0x30},
        // A long event that can never fit a buffer (9984 bytes after F0) is skipped.
        {cat({{0x04, 0xF0}, quantity(9984), Bytes(9984, 0x22), {0x05, 0x90, 0x3C, 0x64}}),
         {{NoteOn, 9}, {NoteOn, 6 + 5}}, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        restart();
        auto events = play(cat({c.track, {c.end}, EndOfTrack}));
        ASSERT_GE(events.size(), c.events.size());
        std::vector<std::pair<uint32_t, uint32_t>> first;
        for (size_t k = 0; k < c.events.size(); ++k) {
            first.emplace_back(events[k].word, events[k].delta);
            EXPECT_EQ(events[k].streamId, 0u);
        }
        EXPECT_EQ(first, c.events);
        EXPECT_EQ(events[0].bytes, c.firstBytes);   // empty for a short event
        for (size_t i = c.firstBytes.size(); i % 4; ++i)
            EXPECT_EQ(player.headers[0].data[12 + i], 0) << "padding";
    }
}

// How full the first two buffers are: a long event that does not fit; the largest that
// fits an empty buffer; tempo events alone; 312 pairs of a padded long event and a note;
// 833 short events of 12 bytes (last: the note-off that did not fit opens the next).
TEST_F(MidiConvert, BufferLimits) {
    struct Case {
        Bytes track;
        uint32_t bytes;
    } cases[] = {
        {cat({{0x00, 0xF0}, quantity(5000), Bytes(4999, 0x11), {0xF7}}), 5016},  // two would reach 10032
        {cat({{0x00, 0xF0}, quantity(9983), Bytes(9983, 0x22)}), 9996},
        {{0x60, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, 9996},
        {{0x00, 0xF0, 0x05, 0x43, 0x10, 0x4C, 0x00, 0xF7, 0x00, 0x90, 0x3C, 0x64}, 9984},
        {{0x01, 0x90, 0x3C, 0x64, 0x02, 0x80, 0x3C, 0x00}, 9996},
    };
    for (const Case& c : cases) {
        restart();
        play(cat({c.track, {0x03}, EndOfTrack}));
        EXPECT_EQ(outBytes(), (std::vector<uint32_t>{c.bytes, c.bytes})) << &c - cases;
    }
    const auto& events = headlessMidiEvents();
    ASSERT_GE(events.size(), 834u);
    EXPECT_EQ(events[833].word, 0x00003C80u);
    EXPECT_EQ(events[833].delta, 2u);
}

TEST_F(MidiConvert, TrackWithNothingToWriteQueuesNothingAndReturns) {
    for (const Bytes& track : {cat({{0x10, 0xFF, 0x01, 0x01, 'x'}, {0x10}, EndOfTrack}), Bytes()}) {
        restart();
        play(track);
        EXPECT_EQ(headlessSoundCount(SoundOut), 0u);
    }
}

// A track without its end, or with a length running past the end, ends there: the bytes
// after it in the file are never read as events, and it still loops.
TEST_F(MidiConvert, TracksCutShortEndWhereTheyEnd) {
    const Bytes trailer = {0x00, 0xC7, 0x01, 0x00, 0xC7, 0x02};
    const Bytes note = {0x00, 0x90, 0x3C, 0x64};
    const Bytes tracks[] = {
        cat({note, {0x05, 0x90, 0x3E, 0x64}}),          // no end of track
        cat({note, {0x81}}),                            // delta quantity
        cat({note, {0x00, 0xFF, 0x01, 0x7F, 'a'}}),     // meta length
        cat({note, {0x00, 0xFF, 0x01, 0x81}}),          // meta length quantity
        cat({note, {0x00, 0xF0, 0x20, 0x01}}),          // system exclusive length
        cat({note, {0x00, 0xF7, 0x83}}),                // escape length quantity
        cat({note, {0x00, 0xFF}}),                      // meta type missing
        cat({note, {0x00, 0x90, 0x3C}}),                // data byte missing
        cat({note, {0x00, 0xF2, 0x01}}),                // song position cut short
    };
    for (const Bytes& track : tracks) {
        restart();
        ASSERT_EQ(load(cat({midiFile(track), trailer})), 1);
        ASSERT_EQ(startSong(), 1);
        const auto events = headlessMidiEvents();
        ASSERT_GE(events.size(), 2u);
        // The first track's last note ends exactly where the track does: it is played.
        EXPECT_EQ(events[1].word != events[0].word, &track == tracks);
        for (const HeadlessMidiEvent& e : events) EXPECT_EQ(e.word & 0xFF, 0x90u) << std::hex << e.word;
    }
    EXPECT_EQ(outBytes(), (std::vector<uint32_t>{9996, 9996}));
}

}  // namespace
