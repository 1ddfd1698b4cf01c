// The composer: songs described by a small set of parts (chords, melody rhythms or a
// written tune, comping, bass and drum patterns) and rendered into a MIDI track.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "smf.h"

enum ScaleKind { ScaleMajor, ScaleMinor, ScaleDorian, ScaleMixolydian };

struct Section {
    // Chords, bars separated by '|', chords in a bar by spaces (equal shares). A chord
    // is a scale degree 1-7, then optionally 'M' (major), 'm' (minor) or 'd' (dominant
    // seventh), then optionally '+' (add the scale's seventh).
    std::string chords;
    // A written tune for the lead instead of a generated one: tokens "C5/4" (pitch and
    // length in steps), "C5+E5/4" (several pitches), "r/2" (rest).
    std::string tune;
    std::string harmony;     // a written second line on the counter channel
    std::vector<std::string> drums;      // "note:pattern" per instrument, one bar
    std::vector<std::string> fill;       // the section's last bar, if given
    uint32_t melodySeed;
    int melodyShift;         // semitones added to the generated melody's range
};

struct SongPlan {
    const char* name;
    double tempo;
    int stepsPerBar;         // sixteenth steps: 16 for 4/4, 12 for 3/4, 8 for 2/4
    bool swing;              // off-beat eighths late, in triplet feel
    int key;                 // MIDI pitch of the tonic in the bass octave
    ScaleKind scale;
    std::string form;        // section letters in order, e.g. "AABA"
    std::vector<Section> sections;   // A, B, C...

    int leadProgram, compProgram, padProgram, bassProgram, counterProgram;
    int leadLow, leadHigh;   // range of the generated melody (MIDI pitches)
    std::vector<std::string> leadRhythms;   // one bar each: 'x' onset, '-' hold, '.' rest
    std::string comp;        // one bar: 'x' strike the chord, '-' hold, '.' rest
    int compLow;
    int padLow;              // 0: no pad
    std::string bass;        // one bar: R root, F fifth, O octave, T third, A approach,
                             // S scale step above the root, '-' hold, '.' rest
    std::string counter;     // one bar: 'x' next arpeggio tone; empty: none
    int counterLow;
    int leadVolume, compVolume, padVolume, bassVolume, counterVolume, drumVolume;
    int reverb;
};

Bytes composeSong(const SongPlan& plan, double* seconds);
const std::vector<SongPlan>& backgroundSongs();
const std::vector<SongPlan>& fanfares();
