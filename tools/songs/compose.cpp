// The composing engine: chords, generated or written melodies, comping, pads, bass
// lines, arpeggios and drum patterns laid out bar by bar on a sixteenth-note grid.
#include "compose.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace {

const uint16_t Division = 480;
const uint32_t StepTicks = Division / 4;

const int ScaleSemitones[4][7] = {
    {0, 2, 4, 5, 7, 9, 11},   // major
    {0, 2, 3, 5, 7, 8, 10},   // natural minor
    {0, 2, 3, 5, 7, 9, 10},   // dorian
    {0, 2, 4, 5, 7, 9, 10},   // mixolydian
};

enum Channel { Lead = 0, Comp = 1, Pad = 2, Bass = 3, Counter = 4, Drums = 9 };

struct Rng {
    uint32_t state;
    uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    int below(int n) { return int(next() % uint32_t(n)); }
};

int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

int scaleOffset(ScaleKind scale, int index) {
    int octave = floorDiv(index, 7);
    return octave * 12 + ScaleSemitones[scale][index - octave * 7];
}

struct Chord {
    int root;          // semitones above the tonic, 0..11
    int tones[4];      // semitones above the root
    int count;
};

Chord parseChord(ScaleKind scale, const std::string& token) {
    Chord c{};
    int degree = token[0] - '1';
    c.root = scaleOffset(scale, degree) % 12;
    char quality = token.size() > 1 ? token[1] : ' ';
    bool seventh = token.find('+') != std::string::npos;
    c.tones[0] = 0;
    if (quality == 'M' || quality == 'd') {
        c.tones[1] = 4;
        c.tones[2] = 7;
    } else if (quality == 'm') {
        c.tones[1] = 3;
        c.tones[2] = 7;
    } else {
        c.tones[1] = scaleOffset(scale, degree + 2) - scaleOffset(scale, degree);
        c.tones[2] = scaleOffset(scale, degree + 4) - scaleOffset(scale, degree);
    }
    c.count = 3;
    if (quality == 'd') c.tones[c.count++] = 10;
    else if (seventh) c.tones[c.count++] = scaleOffset(scale, degree + 6) - scaleOffset(scale, degree);
    return c;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> out;
    std::string item;
    std::istringstream in(text);
    while (std::getline(in, item, separator))
        if (!item.empty() || separator != ' ') out.push_back(item);
    return out;
}

// Every pitch of the chord within [low, high].
std::vector<int> chordPitches(const Chord& c, int key, int low, int high) {
    std::vector<int> out;
    for (int p = low; p <= high; ++p) {
        int rel = ((p - key - c.root) % 12 + 12) % 12;
        for (int i = 0; i < c.count; ++i)
            if (c.tones[i] % 12 == rel) out.push_back(p);
    }
    return out;
}

std::vector<int> scalePitches(ScaleKind scale, int key, int low, int high) {
    std::vector<int> out;
    for (int p = low; p <= high; ++p) {
        int rel = ((p - key) % 12 + 12) % 12;
        for (int i = 0; i < 7; ++i)
            if (ScaleSemitones[scale][i] == rel) out.push_back(p);
    }
    return out;
}

bool sameChord(const Chord& a, const Chord& b) {
    if (a.root != b.root || a.count != b.count) return false;
    for (int i = 0; i < a.count; ++i)
        if (a.tones[i] != b.tones[i]) return false;
    return true;
}

// The chord of each step of one bar.
struct BarChords {
    std::vector<Chord> chords;
    int stepsPerBar;
    const Chord& at(int step) const {
        int n = int(chords.size());
        return chords[std::min(n - 1, step * n / stepsPerBar)];
    }
};

bool sameChords(const BarChords& a, const BarChords& b) {
    if (a.chords.size() != b.chords.size()) return false;
    for (size_t i = 0; i < a.chords.size(); ++i)
        if (!sameChord(a.chords[i], b.chords[i])) return false;
    return true;
}

int parsePitch(const std::string& name) {
    static const int letters[7] = {9, 11, 0, 2, 4, 5, 7};   // A..G
    int pc = letters[name[0] - 'A'];
    size_t i = 1;
    if (i < name.size() && name[i] == '#') pc++, i++;
    else if (i < name.size() && name[i] == 'b') pc--, i++;
    int octave = std::atoi(name.c_str() + i);
    return (octave + 1) * 12 + pc;
}

struct Note {
    int step;      // from the start of the section
    int length;    // steps
    int pitch;
    int velocity;
};

std::vector<Note> parseTune(const std::string& tune) {
    std::vector<Note> out;
    int step = 0;
    for (const std::string& token : split(tune, ' ')) {
        if (token.empty() || token == "|") continue;
        size_t slash = token.find('/');
        int length = std::atoi(token.c_str() + slash + 1);
        std::string pitches = token.substr(0, slash);
        if (pitches != "r")
            for (const std::string& p : split(pitches, '+'))
                out.push_back(Note{step, length, parsePitch(p), 100});
        step += length;
    }
    return out;
}

// Onsets of a one-bar rhythm: 'x' starts a note, '-' holds it, anything else rests.
std::vector<std::pair<int, int>> onsets(const std::string& rhythm) {
    std::vector<std::pair<int, int>> out;
    for (int i = 0; i < int(rhythm.size()); ++i) {
        if (rhythm[i] == '.' || rhythm[i] == '-') continue;
        int length = 1;
        while (i + length < int(rhythm.size()) && rhythm[i + length] == '-') ++length;
        out.push_back({i, length});
    }
    return out;
}

class Composer {
public:
    explicit Composer(const SongPlan& plan) : plan_(plan), track_(Division) {}

    Bytes compose(double* seconds) {
        setup();
        // Bars of each section and the song's bar list.
        for (const Section& section : plan_.sections) {
            std::vector<BarChords> bars;
            for (const std::string& bar : split(section.chords, '|')) {
                BarChords b;
                b.stepsPerBar = plan_.stepsPerBar;
                for (const std::string& token : split(bar, ' '))
                    if (!token.empty()) b.chords.push_back(parseChord(plan_.scale, token));
                bars.push_back(b);
            }
            sectionBars_.push_back(bars);
        }
        for (char letter : plan_.form) {
            int s = letter - 'A';
            for (size_t i = 0; i < sectionBars_[s].size(); ++i) songBars_.push_back({s, int(i)});
        }
        int bar = 0;
        for (size_t f = 0; f < plan_.form.size(); ++f) {
            int s = plan_.form[f] - 'A';
            bool lastOfSong = f + 1 == plan_.form.size();
            section(s, bar, lastOfSong);
            bar += int(sectionBars_[s].size());
        }
        uint32_t end = tickAt(bar * plan_.stepsPerBar);
        if (seconds) *seconds = double(end) / Division * 60.0 / plan_.tempo;
        return track_.write(end);
    }

private:
    uint32_t tickAt(int step) const {
        int bar = floorDiv(step, plan_.stepsPerBar);
        int s = step - bar * plan_.stepsPerBar;
        uint32_t base = uint32_t(bar) * uint32_t(plan_.stepsPerBar) * StepTicks;
        if (!plan_.swing) return base + uint32_t(s) * StepTicks;
        static const uint32_t swung[4] = {0, 160, 320, 400};
        return base + uint32_t(s / 4) * Division + swung[s % 4];
    }

    void note(int channel, int step, int length, int pitch, int velocity, uint32_t gap) {
        uint32_t start = tickAt(step);
        uint32_t stop = tickAt(step + length);
        uint32_t ticks = stop - start > gap + 20 ? stop - start - gap : stop - start;
        track_.note(start, ticks, channel, pitch, velocity);
    }

    void setup() {
        track_.meta(0, 0x03, Bytes(plan_.name, plan_.name + std::string(plan_.name).size()));
        uint8_t beats = uint8_t(plan_.stepsPerBar / 4);
        track_.meta(0, 0x58, {beats, 2, 24, 8});
        track_.tempo(0, plan_.tempo);
        const struct { int channel, program, volume, pan; } parts[] = {
            {Lead, plan_.leadProgram, plan_.leadVolume, 64},
            {Comp, plan_.compProgram, plan_.compVolume, 40},
            {Pad, plan_.padProgram, plan_.padVolume, 88},
            {Bass, plan_.bassProgram, plan_.bassVolume, 60},
            {Counter, plan_.counterProgram, plan_.counterVolume, 84},
            {Drums, 0, plan_.drumVolume, 64},
        };
        for (const auto& p : parts) {
            track_.program(0, p.channel, p.program);
            track_.control(0, p.channel, 7, p.volume);
            track_.control(0, p.channel, 10, p.pan);
            track_.control(0, p.channel, 91, plan_.reverb);
            track_.control(0, p.channel, 93, 0);
        }
    }

    const Chord& chordAtSong(int bar, int step) const {
        int n = int(songBars_.size());
        const auto& where = songBars_[((bar % n) + n) % n];
        return sectionBars_[where.first][where.second].at(step);
    }

    int bassRoot(const Chord& c) const {
        int p = plan_.key + c.root;
        if (p > plan_.key + 6) p -= 12;
        return p;
    }

    void section(int s, int firstBar, bool lastOfSong) {
        const Section& sec = plan_.sections[s];
        const std::vector<BarChords>& bars = sectionBars_[s];
        const int spb = plan_.stepsPerBar;
        const int base = firstBar * spb;
        const int barCount = int(bars.size());
        Rng rng{sec.melodySeed * 2654435761u + uint32_t(firstBar)};

        // Lead: written, or generated once per section and repeated each time.
        if (!sec.tune.empty()) {
            for (const Note& n : parseTune(sec.tune))
                note(Lead, base + n.step, n.length, n.pitch, n.velocity + (n.step % 4 == 0 ? 8 : 0), 30);
        } else {
            for (const Note& n : melody(s, lastOfSong))
                note(Lead, base + n.step, n.length, n.pitch, n.velocity, 24);
        }
        if (!sec.harmony.empty())
            for (const Note& n : parseTune(sec.harmony))
                note(Counter, base + n.step, n.length, n.pitch, 84, 30);

        for (int b = 0; b < barCount; ++b) {
            const BarChords& chords = bars[b];
            const int barStep = base + b * spb;
            // Comping: the chord voiced upwards from compLow.
            if (!plan_.comp.empty()) {
                for (auto [step, length] : onsets(plan_.comp)) {
                    const Chord& c = chords.at(step);
                    int velocity = 64 + (step % 4 == 0 ? 10 : 0) + rng.below(8);
                    for (int p : chordPitches(c, plan_.key, plan_.compLow, plan_.compLow + 11))
                        note(Comp, barStep + step, length, p, velocity, 40);
                }
            }
            // Pad: each chord held for its share of the bar.
            if (plan_.padLow) {
                int n = int(chords.chords.size());
                for (int i = 0; i < n; ++i) {
                    int start = i * spb / n, stop = (i + 1) * spb / n;
                    for (int p : chordPitches(chords.chords[i], plan_.key, plan_.padLow, plan_.padLow + 11))
                        note(Pad, barStep + start, stop - start, p, 58, 0);
                }
            }
            // Bass.
            for (auto [step, length] : onsets(plan_.bass)) {
                const Chord& c = chords.at(step);
                int root = bassRoot(c);
                int pitch = root;
                switch (plan_.bass[step]) {
                    case 'F': pitch = root + c.tones[2]; break;
                    case 'O': pitch = root + 12; break;
                    case 'T': pitch = root + c.tones[1]; break;
                    case 'S': pitch = root + 2; break;
                    case 'A': {
                        int next = bassRoot(chordAtSong(firstBar + b + 1, 0));
                        pitch = next + (next > root ? -1 : 1);
                        break;
                    }
                    default: break;
                }
                int velocity = 92 + (step == 0 ? 12 : 0) + rng.below(6);
                note(Bass, barStep + step, length, pitch, velocity, 20);
            }
            // Counter line: rising arpeggio over the chord.
            if (!plan_.counter.empty()) {
                int k = 0;
                for (auto [step, length] : onsets(plan_.counter)) {
                    std::vector<int> tones = chordPitches(chords.at(step), plan_.key, plan_.counterLow,
                                                          plan_.counterLow + 16);
                    int pitch = tones[k++ % tones.size()];
                    note(Counter, barStep + step, length, pitch, 58 + rng.below(10), 10);
                }
            }
            // Drums: the section's bar, its fill at its end, a crash on its first beat.
            const std::vector<std::string>& pattern =
                (b == barCount - 1 && !sec.fill.empty()) ? sec.fill : sec.drums;
            for (const std::string& line : pattern) {
                size_t colon = line.find(':');
                int instrument = std::atoi(line.c_str());
                std::string hits = line.substr(colon + 1);
                for (int step = 0; step < int(hits.size()) && step < spb; ++step) {
                    char h = hits[step];
                    int velocity = h == 'X' ? 112 : h == 'x' ? 86 : h == 'o' ? 50 : 0;
                    if (velocity) note(Drums, barStep + step, 1, instrument, velocity + rng.below(6), 0);
                }
            }
            if (b == 0 && !sec.drums.empty()) note(Drums, barStep, 4, 49, 84, 0);
        }
    }

    // The generated tune of a section: the rhythm of its first two bars comes back
    // throughout, the pitches follow the chords, the last bar lands on the chord root.
    std::vector<Note> melody(int s, bool endOfSong) {
        const Section& sec = plan_.sections[s];
        const std::vector<BarChords>& bars = sectionBars_[s];
        const int spb = plan_.stepsPerBar;
        const int barCount = int(bars.size());
        Rng rng{sec.melodySeed};
        const int low = plan_.leadLow + sec.melodyShift, high = plan_.leadHigh + sec.melodyShift;
        const int centre = (low + high) / 2;
        int motif[2] = {rng.below(int(plan_.leadRhythms.size())),
                        rng.below(int(plan_.leadRhythms.size()))};
        int current = centre;
        int repeats = 0;
        std::vector<Note> out;
        for (int b = 0; b < barCount; ++b) {
            std::string rhythm;
            if (b == barCount - 1) {
                rhythm = "x" + std::string(spb / 2 - 1, '-') + std::string(spb / 2, '.');
                if (!endOfSong) rhythm = "x" + std::string(spb / 4 - 1, '-') + "x" +
                                         std::string(spb / 4 - 1, '-') + std::string(spb / 2, '.');
            } else if (b % 4 == 3) {
                rhythm = plan_.leadRhythms[rng.below(int(plan_.leadRhythms.size()))];
            } else {
                rhythm = plan_.leadRhythms[motif[b % 2]];
            }
            // The second half of a phrase answers the first: where the chords are the
            // same as four bars before, so is the tune.
            if (b >= 4 && b != barCount - 1 && sameChords(bars[b], bars[b - 4])) {
                for (const Note& n : std::vector<Note>(out)) {
                    if (n.step / spb != b - 4) continue;
                    out.push_back(Note{n.step + 4 * spb, n.length, n.pitch, n.velocity});
                    current = n.pitch;
                }
                continue;
            }
            auto hits = onsets(rhythm);
            for (size_t i = 0; i < hits.size(); ++i) {
                auto [step, length] = hits[i];
                const Chord& c = bars[b].at(step);
                bool strong = step % 4 == 0;
                bool last = b == barCount - 1 && i + 1 == hits.size();
                std::vector<int> choices = (strong || rng.below(3) == 0)
                                               ? chordPitches(c, plan_.key, low, high)
                                               : scalePitches(plan_.scale, plan_.key, low, high);
                if (last) {
                    choices.clear();
                    for (int p : chordPitches(c, plan_.key, low, high))
                        if ((p - plan_.key - c.root) % 12 == 0) choices.push_back(p);
                    if (choices.empty()) choices = chordPitches(c, plan_.key, low, high);
                }
                int drift = rng.below(9) - 4;
                if (current > centre + 5) drift -= 3;
                if (current < centre - 5) drift += 3;
                int target = current + drift;
                std::sort(choices.begin(), choices.end(), [&](int a, int b2) {
                    int da = std::abs(a - target), db = std::abs(b2 - target);
                    return da != db ? da < db : a < b2;
                });
                int pick = choices[0];
                if (pick == current && repeats >= 1 && choices.size() > 1 && !last) pick = choices[1];
                repeats = pick == current ? repeats + 1 : 0;
                current = pick;
                int velocity = 86 + (strong ? 12 : 0) + rng.below(8);
                out.push_back(Note{b * spb + step, length, pick, velocity});
            }
        }
        return out;
    }

    const SongPlan& plan_;
    SmfTrack track_;
    std::vector<std::vector<BarChords>> sectionBars_;
    std::vector<std::pair<int, int>> songBars_;
};

}  // namespace

Bytes composeSong(const SongPlan& plan, double* seconds) {
    Composer composer(plan);
    return composer.compose(seconds);
}
