// The race: two and a half laps of the track from the staggered start to the line.
// Each frame every runner accelerates along its direction of travel up to the pace its
// style allows, moves pixel by pixel through fifths-of-a-pixel accumulators, is held
// by the rails and the other runners or sidesteps past them, and changes section and
// lap; then the field is ranked, finishers are placed and the frame is drawn.
#include <cstdint>

#include "race/race.h"
#include "race/random.h"
#include "race/roster.h"
#include "race/scenes.h"
#include "sound/cues.h"

int32_t raceFrame;
int32_t panCamera;
uint32_t resultColour;

void resetRace() {
    raceFrame = panCamera = 0;
    resultColour = 0;
    resetRaceDisplay();
}

namespace {

// Rails of the infield, in sprite positions.
constexpr int32_t RailLeft = 160;
constexpr int32_t RailRight = 608;
constexpr int32_t RailTop = 160;
constexpr int32_t RailBottom = 448;
constexpr int32_t MaxX = 767;
constexpr int32_t MaxY = 607;
constexpr int32_t FinishLineX = 749;
constexpr int32_t RunOffX = 963;
constexpr int32_t SpriteSize = 32;
constexpr uint8_t FinalLap = 2;
constexpr uint8_t Finished = 3;
constexpr uint8_t Placed = 4;
constexpr uint8_t SwerveOutside = 30;
constexpr uint8_t SwerveHold = 255;

// Towards the infield and away from it, by section (top, right, left, bottom).
constexpr int32_t insideOf[4] = {Down, Left, Right, Up};
constexpr int32_t outsideOf[4] = {Up, Right, Left, Down};

int32_t absolute(int32_t v) { return v < 0 ? -v : v; }

bool railRefuses(const Runner& r, int32_t d) {
    switch (d) {
    case Left:
        return r.x == 0 || (r.x == RailRight && r.y > RailTop);
    case Up:
        return r.y == 0 || (r.y == RailBottom && r.x < RailRight);
    case Down:
        return r.y == MaxY || (r.y == RailTop && r.x > RailLeft);
    case Right:
        return (r.x == MaxX && r.lap <= FinalLap) || (r.x == RailLeft && r.y < RailBottom);
    default:
        return true;
    }
}

// Whether runner o stands in the 32-pixel strip just ahead of r in direction d.
bool blocks(const Runner& r, const Runner& o, int32_t d) {
    switch (d) {
    case Left:
        return absolute(o.y - r.y) < SpriteSize && r.x - SpriteSize <= o.x && o.x < r.x;
    case Right:
        return absolute(o.y - r.y) < SpriteSize && r.x < o.x && o.x <= r.x + SpriteSize;
    case Up:
        return absolute(o.x - r.x) < SpriteSize && r.y - SpriteSize <= o.y && o.y < r.y;
    case Down:
        return absolute(o.x - r.x) < SpriteSize && r.y < o.y && o.y <= r.y + SpriteSize;
    default:
        return true;
    }
}

void move(Runner& r, int32_t d) {
    switch (d) {
    case Left: --r.x; break;
    case Up: --r.y; break;
    case Down: ++r.y; break;
    case Right: ++r.x; break;
    default: break;
    }
}

int32_t progress(const Runner& r) {
    int32_t position = 0;
    switch (r.section) {
    case SectionTop: position = 1800 - r.x; break;
    case SectionRight: position = 800 - r.y; break;
    case SectionLeft: position = 2000 + r.y; break;
    case SectionBottom: position = 3800 + r.x; break;
    default: break;
    }
    return 10000 * r.lap + position;
}

// Velocity along the direction of travel grows by 0..A-1 up to top speed T; what is
// left over from the previous section dies away by 0..B-1 (the x draw comes first).
void accelerate(Runner& r, int32_t a, int32_t b, int32_t t) {
    switch (r.section) {
    case SectionTop:
        r.vx -= pellrunRand() % a;
        if (r.vx < -t) r.vx = -t;
        r.vy += pellrunRand() % b;
        if (r.vy > 0) r.vy = 0;
        break;
    case SectionRight:
        r.vx -= pellrunRand() % b;
        if (r.vx < 0) r.vx = 0;
        r.vy -= pellrunRand() % a;
        if (r.vy < -t) r.vy = -t;
        break;
    case SectionLeft:
        r.vx += pellrunRand() % b;
        if (r.vx > 0) r.vx = 0;
        r.vy += pellrunRand() % a;
        if (r.vy > t) r.vy = t;
        break;
    case SectionBottom:
        r.vx += pellrunRand() % a;
        if (r.vx > t) r.vx = t;
        r.vy -= pellrunRand() % b;
        if (r.vy < 0) r.vy = 0;
        break;
    default:
        break;
    }
}

void changeSection(int32_t i) {
    Runner& r = runners[i];
    switch (r.section) {
    case SectionTop:
        if (r.x < RailLeft) r.section = SectionLeft;
        break;
    case SectionRight:
        if (r.y < RailTop) r.section = SectionTop;
        break;
    case SectionLeft:
        if (r.y > RailBottom) {
            r.section = SectionBottom;
            if (r.lap == FinalLap) {
                // Into the final straight: keep to the outside from here on.
                r.swerve = SwerveHold;
                if (i == leader) playEffect("Snd3");
            }
        }
        break;
    case SectionBottom:
        if (r.lap < FinalLap && r.x > RailRight) {
            ++r.lap;
            r.section = SectionRight;
            if (r.lap == FinalLap && postFade == 255) {
                playEffect("Snd2");  // the bell: the first runner begins the final lap
                postFade = 0;
            }
        } else if (r.lap == FinalLap && r.x > FinishLineX) {
            r.lap = Finished;
        }
        break;
    default:
        break;
    }
}

void moveRunner(int32_t i) {
    Runner& r = runners[i];
    int32_t a, b, t;
    if (r.lap >= Finished) {
        a = 3, b = 2, t = 30;
    } else {
        int32_t f = paceFactor(i);
        a = f >= 120 ? 9 : 6;
        b = 6;
        t = r.ability * f / 100;
    }
    accelerate(r, a, b, t);
    r.xAccum += r.vx;
    r.yAccum += r.vy;
    // Five units per call, moved or not: a blocked runner loses the distance.
    for (; r.xAccum <= -5; r.xAccum += 5) stepRunner(i, Left);
    for (; r.yAccum <= -5; r.yAccum += 5) stepRunner(i, Up);
    for (; r.yAccum >= 5; r.yAccum -= 5) stepRunner(i, Down);
    for (; r.xAccum >= 5; r.xAccum -= 5) stepRunner(i, Right);
    changeSection(i);
}

// Places this frame's finishers, furthest past the line first (lower number on a tie).
void placeFinishers() {
    while (finishCount < RunnerCount) {
        int32_t best = -1;
        for (int32_t i = 0; i < RunnerCount; ++i)
            if (runners[i].lap == Finished && (best < 0 || runners[i].x > runners[best].x)) best = i;
        if (best < 0) break;
        finishOrder[finishCount++] = uint8_t(best);
        runners[best].lap = Placed;
    }
}

}  // namespace

int32_t canStep(int32_t i, int32_t d) {
    const Runner& r = runners[i];
    if (railRefuses(r, d)) return 0;
    for (int32_t j = 0; j < RunnerCount; ++j)
        if (j != i && blocks(r, runners[j], d)) return 0;
    return 1;
}

void stepRunner(int32_t i, int32_t d) {
    Runner& r = runners[i];
    if (canStep(i, d)) {
        move(r, d);
        if (r.swerve != 0 && !(d == Right && r.swerve == SwerveHold)) --r.swerve;
        return;
    }
    if (r.section != d) return;

    // Blocked straight ahead: squeeze past on the rail side unless already passing on
    // the outside, which a runner keeps doing for its next 30 moves.
    int32_t inside = insideOf[r.section];
    int32_t outside = outsideOf[r.section];
    if (r.swerve == 0) {
        if (canStep(i, inside)) {
            move(r, inside);
        } else if (canStep(i, outside)) {
            move(r, outside);
            r.swerve = SwerveOutside;
        }
    } else {
        if (canStep(i, outside)) {
            move(r, outside);
            if (!(r.section == SectionBottom && r.swerve == SwerveHold)) r.swerve = SwerveOutside;
        } else if (canStep(i, inside)) {
            move(r, inside);
            r.swerve = 0;
        }
    }
}

void updateRunningOrder() {
    int32_t score[RunnerCount];
    for (int32_t i = 0; i < RunnerCount; ++i) {
        score[i] = progress(runners[i]);
        int32_t r = 0;
        while (r < i && !(score[runningOrder[r]] < score[i])) ++r;
        for (int32_t k = i; k > r; --k) runningOrder[k] = runningOrder[k - 1];
        runningOrder[r] = uint8_t(i);
    }
    refreshOrderBoard();
}

void runRaceFrame() {
    ++raceFrame;
    for (int32_t i = 0; i < RunnerCount; ++i) moveRunner(i);
    updateRunningOrder();
    leader = runningOrder[0];

    int32_t cameraX, cameraY;
    const Runner& first = runners[leader];
    if (first.lap > FinalLap) {
        cameraX = cameraY = 159;
        if (finishCount < RunnerCount) placeFinishers();
        if (finishCount == RunnerCount && runners[finishOrder[RunnerCount - 1]].x > RunOffX) {
            silenceEffects();
            goToStep(RaceClearField);
        }
    } else {
        cameraX = first.x - 304;
        cameraY = first.y - 244;
    }

    // The whole field on the final lap: the finishing post fades in.
    if (runners[runningOrder[RunnerCount - 1]].lap >= FinalLap && postFade < 16) {
        ++postFade;
        fadePost(1, 17u * postFade);
    }
    drawRaceFrame(cameraX, cameraY);
}

namespace {

// One frame of the post's fading back: the saved course patch over the post for 16
// frames, then one more before the pan.
uint8_t postFadeBackFrame() {
    uint8_t old = postFade++;
    if (old < 16) {
        fadePost(0, 17u * postFade);
    } else {
        goToStep(RacePanBack);
        panCamera = 158;
    }
    drawRaceFrame(159, 159);
    return 0;
}

}  // namespace

uint8_t raceSceneStep() {
    switch (step) {
    case RaceStart:
        playEffect("Snd1");  // the start
        raceFrame = 0;
        resetRaceDisplay();
        goToStep(RaceRunning);
        return 0;
    case RaceRunning:
        runRaceFrame();
        return 0;
    case RaceClearField:
        // The field leaves the course, and the post begins to fade back in this frame.
        for (Runner& r : runners) r.section = SectionOffCourse;
        postFade = 0;
        goToStep(RacePostFadeBack);
        return postFadeBackFrame();
    case RacePostFadeBack:
        return postFadeBackFrame();
    case RacePanBack: {
        // The narrow view pans back to the middle of the playfield.
        int32_t c = panCamera--;
        drawRaceFrame(c, c);
        if (panCamera == 80) {
            goToStep(RaceResult);
            resultColour = 0xF0F0F0;
        }
        return 0;
    }
    case RaceResult: {
        // The finishing order fades to black on the board, then the boxes are cleared.
        uint8_t over = 0;
        if (resultColour != 0) {
            for (int32_t k = 0; k < RunnerCount; ++k) drawBoardDigit(k, finishOrder[k], resultColour);
            resultColour -= 0x101010;
        } else {
            clearOrderBoard();
            over = 1;
        }
        drawRaceFrame(80, 80);
        return over;
    }
    default:
        return 0;
    }
}
