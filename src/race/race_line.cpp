#include "race/race_line.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"
#include "race/race.h"
#include "race/random.h"
#include "race/roster.h"
#include "race/scenes.h"

namespace {

// Appends to a line of fixed size; what does not fit is left out.
struct LineWriter {
    char* text;
    size_t size, used;
    void add(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void put(uint32_t c);
};

void LineWriter::add(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text + used, size - used, format, args);
    va_end(args);
    if (n > 0) used = used + size_t(n) < size ? used + size_t(n) : size - 1;
}

// One code point as UTF-8.
void LineWriter::put(uint32_t c) {
    if (c < 0x80)
        add("%c", char(c));
    else if (c < 0x800)
        add("%c%c", char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F)));
    else
        add("%c%c%c", char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F)));
}

// Appends the Shift-JIS text as UTF-8. The roster's names are katakana (and the long
// vowel mark); hiragana, the ideographic space and ASCII are converted too, anything
// else becomes U+FFFD.
void putShiftJis(LineWriter& out, const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        unsigned lead = *p++;
        if (lead < 0x80) {
            if (lead == '"' || lead == '\\') out.put('\\');
            out.put(lead);
            continue;
        }
        bool twoBytes = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
        if (!twoBytes || !*p) {
            out.put(0xFFFD);
            continue;
        }
        unsigned trail = *p++;
        uint32_t code = 0xFFFD;
        if (lead == 0x83 && trail >= 0x40 && trail <= 0x96 && trail != 0x7F)
            code = 0x30A1 + (trail - 0x40) - (trail > 0x7F ? 1 : 0);
        else if (lead == 0x82 && trail >= 0x9F && trail <= 0xF1)
            code = 0x3041 + (trail - 0x9F);
        else if (lead == 0x81 && trail == 0x5B)
            code = 0x30FC;
        else if (lead == 0x81 && trail == 0x40)
            code = 0x3000;
        out.put(code);
    }
}

void writeLine(const RaceWatch& w, char (&line)[RaceLineSize]) {
    static const char* const styles[4] = {"front-runner", "stalker", "closer", "deep-closer"};
    LineWriter out = {line, sizeof line, 0};
    line[0] = 0;
    out.add("{\"race\":%u,\"track\":\"%s\",\"bgm\":%d,\"fanfare\":%d,\"runners\":[", raceCount,
            w.track == 0 ? "turf" : "dirt", w.bgm, w.fanfare);
    for (int32_t i = 0; i < RunnerCount; ++i) {
        const Runner& r = runners[i];
        out.add("%s{\"gate\":%d,\"name\":\"", i ? "," : "", i + 1);
        putShiftJis(out, r.name);
        out.add("\",\"ability\":%d,\"style\":\"%s\",\"odds\":%d}", r.ability, styles[r.style & 3], r.odds);
    }
    out.add("],\"finish\":[");
    for (int32_t k = 0; k < finishCount; ++k) out.add("%s%d", k ? "," : "", finishOrder[k] + 1);
    out.add("],\"frames\":%d,\"bell\":%d,\"finalStraight\":%d,\"firstPlaced\":%d}\n", raceFrame, w.bell,
            w.finalStraight, w.firstPlaced);
}

// The value of the random draw that ended the last frame: the generator's state holds
// it, since the music cue's digit is the last number drawn in the frame that changes
// the scene.
int32_t lastDraw() { return int32_t((randomState >> 16) & 0x7FFF); }

}  // namespace

bool watchRace(RaceWatch& w, char (&line)[RaceLineSize]) {
    if (scene != w.lastScene) {
        int32_t previous = w.lastScene;
        w.lastScene = scene;
        if (scene == SceneBoard && previous == SceneCourse) w.bgm = lastDraw() % 10;
        if (scene == SceneParade && previous == SceneBoard) w.fanfare = lastDraw() % 4;
        if (scene == SceneRace) {
            w.track = trackKind;
            w.bell = w.finalStraight = w.firstPlaced = 0;
            return false;  // the race's first frame has not run yet
        }
        if (previous == SceneRace && scene == SceneCourse) {
            writeLine(w, line);
            return true;
        }
    }
    if (scene != SceneRace || raceFrame == 0) return false;
    if (!w.bell && postFade != 255) w.bell = raceFrame;
    if (!w.finalStraight && runners[leader].lap == 2 && runners[leader].section == SectionBottom)
        w.finalStraight = raceFrame;
    if (!w.firstPlaced && finishCount > 0) w.firstPlaced = raceFrame;
    return false;
}

const char* pellrunRaceLine() {
    static RaceWatch watch;
    static char line[RaceLineSize];
    return watchRace(watch, line) ? line : nullptr;
}
