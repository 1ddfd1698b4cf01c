// The ten background songs and the four entry fanfares.
#include "compose.h"

namespace {

// Drum notes of the General MIDI percussion map.
// 36 kick, 37 side stick, 38 snare, 39 clap, 42 closed hat, 44 pedal hat, 46 open hat,
// 41/45/48 toms, 49 crash, 51 ride, 54 tambourine, 56 cowbell, 62/63/64 congas,
// 67/68 agogo, 70 maracas, 76/77 wood blocks.

SongPlan base(const char* name, double tempo, int key, ScaleKind scale) {
    SongPlan s{};
    s.name = name;
    s.tempo = tempo;
    s.stepsPerBar = 16;
    s.key = key;
    s.scale = scale;
    s.leadVolume = 100;
    s.compVolume = 72;
    s.padVolume = 64;
    s.bassVolume = 100;
    s.counterVolume = 70;
    s.drumVolume = 96;
    s.reverb = 40;
    s.compLow = 55;
    s.padLow = 0;
    s.counterLow = 67;
    return s;
}

const std::vector<std::string> PopRhythms = {
    "x-x-x-x-x---x-x-", "x---x-x-x-x-x---", "..x-x-x-x---x-x-", "x-xxx---x-x-x---",
    "x---x---x-x-x-x-", "x-x-x---..x-x-x-",
};

std::vector<SongPlan> makeBackground() {
    std::vector<SongPlan> songs;

    // 0: bright morning pop, piano over strummed guitar and strings.
    SongPlan s = base("Paddock Morning", 128, 36, ScaleMajor);
    s.form = "AABA";
    s.sections = {
        {"1|5|6|4|1|5|4|5", "", "", {"36:x.......x.x.....", "38:....x.......x...", "42:x.x.x.x.x.x.x.x."},
         {"36:x.......x.......", "38:....x.......xxxx", "42:x.x.x.x.x.x....."}, 11, 0},
        {"4|4|1|1|2|5|1 6|5", "", "", {"36:x.....x.x.......", "38:....x.......x...", "46:x.x.x.x.x.x.x.x."},
         {"36:x.......x.......", "38:....x...x.x.xxxx", "42:x.x.x.x........."}, 12, 5},
    };
    s.leadProgram = 1; s.compProgram = 25; s.padProgram = 48; s.bassProgram = 33; s.counterProgram = 0;
    s.leadLow = 67; s.leadHigh = 84;
    s.leadRhythms = PopRhythms;
    s.comp = "x--x--x-x--x--x-";
    s.padLow = 60; s.padVolume = 52;
    s.bass = "R-.R..R-F-.F..F-";
    songs.push_back(s);

    // 1: a twelve-bar shuffle for tenor sax and organ.
    s = base("Cheese Shuffle", 112, 41, ScaleMixolydian);
    s.swing = true;
    s.form = "AA";
    s.sections = {
        {"1d|4d|1d|1d|4d|4d|1d|1d|5d|4d|1d|5d", "", "",
         {"36:x.......x.......", "38:....x.......x...", "51:x...x.x.x...x.x.", "44:....x.......x..."},
         {"36:x.......x.......", "38:....x...x.x.x.x.", "51:x...x.x.x......."}, 21, 0},
    };
    s.leadProgram = 66; s.compProgram = 17; s.bassProgram = 32;
    s.leadLow = 60; s.leadHigh = 77;
    s.leadRhythms = {"x-x.x-x.x---..x.", "x...x.x.x-x.x...", "..x.x-x...x.x-x.", "x-----x.x.x.x..."};
    s.comp = "..x...x...x...x.";
    s.compLow = 58;
    s.bass = "R---T---F---A---";
    s.leadVolume = 96;
    songs.push_back(s);

    // 2: driving rock in E minor.
    s = base("Dirt Track Rock", 140, 40, ScaleMinor);
    s.form = "AABA";
    s.sections = {
        {"1|6|7|1|1|6|4|5M", "", "",
         {"36:x.....x.x.......", "38:....X.......X...", "42:x.x.x.x.x.x.x.x."},
         {"36:x.....x.x.......", "38:....X...xxXXxxXX", "42:x.x.x.x........."}, 31, 0},
        {"4|4|6|7|4|4|5M|5M", "", "",
         {"36:x.x...x.x.x.....", "38:....X.......X...", "51:x.x.x.x.x.x.x.x."},
         {"36:x.x...x.x.......", "38:....X...X.X.XXXX", "51:x.x.x.x........."}, 32, 3},
    };
    s.leadProgram = 30; s.compProgram = 29; s.bassProgram = 34; s.padProgram = 0;
    s.leadLow = 59; s.leadHigh = 76;
    s.leadRhythms = {"x-x-x-x-x-x-x---", "x---x-xxx---x-x-", "x-xxx-x-x-x-x-x-", "x-------x-x-x-x-"};
    s.comp = "x-.x-.x-x-.x-.x-";
    s.compLow = 47;
    s.bass = "R-R-R-R-R-R-R-R-";
    s.leadVolume = 92; s.compVolume = 70;
    songs.push_back(s);

    // 3: a dreamy waltz for flute and harp.
    s = base("Dreamy Stable", 96, 38, ScaleMajor);
    s.stepsPerBar = 12;
    s.form = "AABA";
    s.sections = {
        {"1|6|2|5|1|6|4|5", "", "", {"36:x...........", "42:....o...o..."}, {"36:x...........", "42:....o...o.o."}, 41, 0},
        {"4|5|3|6|2|5|1|5", "", "", {"36:x...........", "42:....o...o..."}, {"36:x.....x.....", "42:....o...o..."}, 42, 2},
    };
    s.leadProgram = 73; s.counterProgram = 46; s.padProgram = 49; s.bassProgram = 32;
    s.leadLow = 67; s.leadHigh = 86;
    s.leadRhythms = {"x-----x---x-", "x-x-x-x-----", "x-----x-x-x-", "x--x--x-----", "x---------x-"};
    s.padLow = 57; s.padVolume = 60;
    s.bass = "R---F---F---";
    s.counter = "x.x.x.x.x.x.";
    s.counterLow = 62; s.counterVolume = 64;
    s.drumVolume = 70; s.reverb = 70;
    songs.push_back(s);

    // 4: a samba for marimba and nylon guitar.
    s = base("Whisker Samba", 104, 43, ScaleMajor);
    s.form = "AABA";
    s.sections = {
        {"1 6|2 5|1 6|2 5|3 6|2 5|1 4|5", "", "",
         {"36:x..xx..xx..xx..x", "70:XoxoXoxoXoxoXoxo", "67:x.x...x...x.x...", "68:....x.......x...",
          "37:..x..x....x..x.."},
         {"36:x..xx..xx..xx..x", "70:XoxoXoxoXoxoXoxo", "62:x.x.x.xxx.x.xxxx"}, 51, 0},
        {"4|4|3|6|2|5|1|5d", "", "",
         {"36:x..xx..xx..xx..x", "70:XoxoXoxoXoxoXoxo", "63:x..x..x...x..x..", "64:..x...x...x...x."},
         {"36:x..xx..xx..xx..x", "62:x.x.x.x.xxxxxxxx", "56:x...x...x...x..."}, 52, 4},
    };
    s.leadProgram = 12; s.compProgram = 24; s.bassProgram = 32;
    s.leadLow = 67; s.leadHigh = 86;
    s.leadRhythms = {"x.xx.x.x..x.x.x.", "x..x..x.x.x.x...", ".xx.x.x.x..x.x..", "x.x.x..x.x.x.x.."};
    s.comp = "x..x..x...x..x..";
    s.bass = "R..FR...R..FR-F-";
    s.leadVolume = 104;
    songs.push_back(s);

    // 5: night-time synth drive in A minor.
    s = base("Night Races", 124, 45, ScaleMinor);
    s.form = "AABB";
    s.sections = {
        {"1|6|3|7|1|6|4|5", "", "",
         {"36:X...X...X...X...", "39:....x.......x...", "42:..x...x...x...x.", "46:......x.......x."},
         {"36:X...X...X...X...", "39:....x...x.x.xxxx", "42:..x...x........."}, 61, 0},
        {"4|5|1|1|4|5|6|5", "", "",
         {"36:X...X...X...X...", "39:....x.......x...", "42:xxxxxxxxxxxxxxxx"},
         {"36:X...X...X...X.X.", "39:....x.......x...", "48:........x.x.x.x."}, 62, 5},
    };
    s.leadProgram = 80; s.counterProgram = 81; s.padProgram = 89; s.bassProgram = 38;
    s.leadLow = 64; s.leadHigh = 81;
    s.leadRhythms = {"x-----x-x---x---", "x-x-x---x-------", "x---x---x-x-x---", "..x-x-x-x-x-----"};
    s.padLow = 57; s.padVolume = 60;
    s.bass = "R-.RR-.RR-.RO-.R";
    s.counter = "xxxxxxxxxxxxxxxx";
    s.counterLow = 57; s.counterVolume = 46;
    s.leadVolume = 88; s.reverb = 60;
    songs.push_back(s);

    // 6: a barn-dance gallop for fiddle and banjo.
    s = base("Barnyard Gallop", 150, 45, ScaleMajor);
    s.form = "AABA";
    s.sections = {
        {"1|1|4|1|1|1|5|5", "", "", {"36:x.......x.......", "38:o.x.o.x.o.x.o.x."},
         {"36:x.......x.......", "38:o.x.o.x.x.x.xxxx"}, 71, 0},
        {"4|4|1|1|2M|5|1|5", "", "", {"36:x.......x.......", "38:o.x.o.x.o.x.o.x.", "54:..x...x...x...x."},
         {"36:x.......x.......", "38:x.x.x.x.XXXXXXXX"}, 72, 2},
    };
    s.leadProgram = 40; s.compProgram = 25; s.counterProgram = 105; s.bassProgram = 32;
    s.leadLow = 69; s.leadHigh = 88;
    s.leadRhythms = {"x-x-x-x-x-x-x-x-", "x-xxx-x-x---x-x-", "x---x-x-xxx-x---", "xxx-x-x-x-x-x---"};
    s.comp = "....x-......x-..";
    s.compLow = 57;
    s.bass = "R-......F-......";
    s.counter = "x.x.x.x.x.x.x.x.";
    s.counterLow = 64; s.counterVolume = 60;
    songs.push_back(s);

    // 7: a brass-band march.
    s = base("Grand Parade", 116, 46, ScaleMajor);
    s.form = "AABA";
    s.sections = {
        {"1|4|5|1|1|4|5|1", "", "", {"36:x.......x.......", "38:x.xxx.x.x.xxx.x."},
         {"36:x.......x.......", "38:xxxxxxxxX...X..."}, 81, 0},
        {"4|4|1|1|2 5|1|2 5|5", "", "", {"36:x.......x.......", "38:x.x.x.x.x.x.x.x.", "49:....x.......x..."},
         {"36:x.......x.......", "38:xxxxxxxxX.X.X.X."}, 82, 5},
    };
    s.leadProgram = 56; s.compProgram = 60; s.counterProgram = 9; s.bassProgram = 58;
    s.leadLow = 65; s.leadHigh = 82;
    s.leadRhythms = {"x--xx---x--xx---", "x---x---x-x-x---", "x-x-x-x-x-------", "x--xx-x-x---x---"};
    s.comp = "....x-......x-..";
    s.compLow = 53;
    s.bass = "R-------F-------";
    s.counter = "x...x...x...x...";
    s.counterLow = 79; s.counterVolume = 58;
    s.drumVolume = 88;
    songs.push_back(s);

    // 8: a swinging tea-break tune for vibraphone and electric piano.
    s = base("Tea Break Swing", 132, 36, ScaleMajor);
    s.swing = true;
    s.form = "AABA";
    s.sections = {
        {"2m+|5d|1+|6d|2m+|5d|3m+ 6d|2m+ 5d", "", "",
         {"51:x...x.x.x...x.x.", "44:....x.......x...", "36:x...........x..."},
         {"51:x...x.x.x.......", "38:......x.x.x.x.x.", "44:....x.......x..."}, 91, 0},
        {"4+|4m+|3m+|6d|2m+|5d|1+|5d", "", "",
         {"51:x...x.x.x...x.x.", "44:....x.......x...", "38:..........o....."},
         {"51:x...x.x.x.......", "38:....x.x.x.x.x.x.", "44:....x.......x..."}, 92, 3},
    };
    s.leadProgram = 11; s.compProgram = 4; s.bassProgram = 32;
    s.leadLow = 65; s.leadHigh = 84;
    s.leadRhythms = {"x.x.x.x.x---..x.", "..x.x-x.x.x.x...", "x-x.x...x.x-x...", "x...x.x.x.x.x-x."};
    s.comp = "x-....x-...x..-.";
    s.compLow = 57;
    s.bass = "R---T---F---A---";
    s.drumVolume = 84; s.reverb = 50;
    songs.push_back(s);

    // 9: a slow sunset ballad for clarinet, guitar and strings.
    s = base("Sunset Ballad", 76, 39, ScaleMajor);
    s.form = "AB";
    s.sections = {
        {"1|5|6|3|4|1|2|5", "", "", {"36:x.......x.x.....", "37:....x.......x...", "42:x.x.x.x.x.x.x.x."},
         {"36:x.......x.......", "37:....x.......x...", "45:........x.x.x.x."}, 101, 0},
        {"6|3|4|1|4|5|3 6|2 5", "", "", {"36:x.......x.x.....", "38:....o.......o...", "42:x.x.x.x.x.x.x.x."},
         {"36:x.......x.......", "38:....o.......o...", "48:........x.x.x.x."}, 102, 3},
    };
    s.leadProgram = 71; s.counterProgram = 24; s.padProgram = 48; s.bassProgram = 33;
    s.leadLow = 63; s.leadHigh = 80;
    s.leadRhythms = {"x-----x-x-------", "x---x---x-----x-", "x-x-x-------x---", "..x-x-x-x-------"};
    s.padLow = 55; s.padVolume = 58;
    s.bass = "R-------F-------";
    s.counter = "x.x.x.x.x.x.x.x.";
    s.counterLow = 55; s.counterVolume = 62;
    s.drumVolume = 66; s.reverb = 64;
    songs.push_back(s);
    return songs;
}

SongPlan fanfare(const char* name, double tempo, int key, int lead, int harmonyProgram) {
    SongPlan s = base(name, tempo, key, ScaleMajor);
    s.form = "AB";
    s.leadProgram = lead; s.counterProgram = harmonyProgram; s.compProgram = 61; s.bassProgram = 58;
    s.padProgram = 48; s.padLow = 0;
    s.leadLow = 67; s.leadHigh = 84;
    s.leadRhythms = {"x--xx---x--xx---", "x-x-x-x-x---x---", "x--xx-x-x-x-x---"};
    s.comp = "x..x..x.....x-..";
    s.compLow = 55;
    s.bass = "R.....R.F.......";
    s.leadVolume = 110; s.counterVolume = 84; s.compVolume = 70;
    return s;
}

const std::vector<std::string> RollDrums = {"36:x.......x.......", "38:x.xxx.xxx.xxx.xx"};
const std::vector<std::string> RollFill = {"36:x...x...x...x...", "38:xxxxxxxxxxxxXXXX", "48:............x.x."};
const std::vector<std::string> MarchDrums = {"36:x.......x.......", "38:x.x.x.xxx.x.x.xx"};
const std::vector<std::string> EndFill = {"36:x.......x.x.x...", "38:X.....xxxxxxXXXX", "45:........x.x....."};

std::vector<SongPlan> makeFanfares() {
    std::vector<SongPlan> out;
    SongPlan s = fanfare("Entry Fanfare I", 126, 36, 56, 57);
    s.sections = {
        {"1|1|4 5|1", "G4/2 G4/1 G4/1 C5/4 E5/4 G5/4 E5/3 C5/1 E5/4 G5/8 A5/2 G5/2 F5/2 E5/2 D5/4 G4/4 C5+E5+G5/12 r/4",
         "C4+E4/8 E4+G4/8 G4+C5/16 F4+A4/8 F4+B4/8 E4+G4/12 r/4", RollDrums, RollFill, 0, 0},
        {"4|1|2 5|1", "", "", MarchDrums, EndFill, 111, 0},
    };
    out.push_back(s);

    s = fanfare("Entry Fanfare II", 132, 38, 61, 60);
    s.sections = {
        {"1|1|2 5|1", "A4/1 A4/1 A4/2 D5/4 A4/1 A4/1 A4/2 F#5/4 A5/6 F#5/2 D5/8 E5/2 F#5/2 G5/2 E5/2 A5/4 C#5/4 D5+F#5+A5/12 r/4",
         "F#4/4 A4/4 F#4/4 A4/4 D5/16 G4/8 E4+A4/8 F#4+A4/12 r/4", RollDrums, RollFill, 0, 0},
        {"4|1|4 5|1", "", "", MarchDrums, EndFill, 121, 0},
    };
    out.push_back(s);

    s = fanfare("Entry Fanfare III", 120, 46, 56, 61);
    s.sections = {
        {"1|4 5|1 5|1", "F4/4 Bb4/4 D5/4 F5/4 Eb5/2 D5/2 C5/2 Bb4/2 C5/8 D5/4 F5/4 G5/2 F5/2 Eb5/2 C5/2 Bb4+D5+F5/12 r/4",
         "D4/8 F4/8 G4/4 F4/4 A4/8 F4/8 A4/8 D4+F4/12 r/4", RollDrums, RollFill, 0, 0},
        {"4|1|2 5|1", "", "", MarchDrums, EndFill, 131, 0},
    };
    out.push_back(s);

    s = fanfare("Entry Fanfare IV", 138, 41, 62, 60);
    s.sections = {
        {"1|5|2 5|1", "C5/2 r/1 C5/1 C5/2 r/1 C5/1 F5/4 A5/4 G5/4 E5/4 C5/8 D5/2 E5/2 F5/2 G5/2 A5/2 Bb5/2 A5/2 G5/2 F5+A5+C6/12 r/4",
         "A4/4 A4/4 A4/4 C5/4 E4+G4/8 G4/8 F4/8 E4/8 C5+F4/12 r/4", RollDrums, RollFill, 0, 0},
        {"4|1|4 5|1", "", "", MarchDrums, EndFill, 141, 0},
    };
    out.push_back(s);
    return out;
}

}  // namespace

const std::vector<SongPlan>& backgroundSongs() {
    static const std::vector<SongPlan> songs = makeBackground();
    return songs;
}

const std::vector<SongPlan>& fanfares() {
    static const std::vector<SongPlan> songs = makeFanfares();
    return songs;
}
