// Drawing of the parade and the race: the composed frame, the kicked-up turf or dirt,
// the order board and the finishing post.
#include <cstdint>

#include "core/settings.h"
#include "gfx/present.h"
#include "gfx/text.h"
#include "race/race.h"
#include "race/random.h"
#include "race/roster.h"
#include "race/scenes.h"

namespace {

constexpr int32_t SpriteSize = 32;
constexpr int32_t SpriteRowTop = 367;
constexpr int32_t FinalStraightColumn = 256;
constexpr int32_t PostPictureX = 320;
constexpr int32_t SavedPatchX = 351;
constexpr int32_t CoverX = 208, CoverY = 328, CoverWidth = 144, CoverHeight = 48;
constexpr int32_t CoverSheetX = 0, CoverSheetY = 815;
constexpr int32_t CameraLimit = 159;

int32_t clampCamera(int32_t value) {
    if (value < 0) return 0;
    if (value > CameraLimit) return CameraLimit;
    return value;
}

// Adds the rectangle, clipped to the playfield, to the rows' spans.
void markRows(RowSpan* spans, int32_t x, int32_t y, int32_t width, int32_t height) {
    int32_t left = x < 0 ? 0 : x;
    int32_t right = x + width - 1 >= PlayfieldWidth ? PlayfieldWidth - 1 : x + width - 1;
    int32_t top = y < 0 ? 0 : y;
    int32_t bottom = y + height - 1 >= PlayfieldHeight ? PlayfieldHeight - 1 : y + height - 1;
    if (left > right) return;
    for (int32_t row = top; row <= bottom; ++row) {
        RowSpan& s = spans[row];
        if (s.left > s.right) {
            s.left = int16_t(left);
            s.right = int16_t(right);
        } else {
            if (left < s.left) s.left = int16_t(left);
            if (right > s.right) s.right = int16_t(right);
        }
    }
}

void clearRows(RowSpan* spans) {
    for (int32_t row = 0; row < PlayfieldHeight; ++row) spans[row] = RowSpan{1, 0};
}

// Something is drawn over the course in this frame.
void markDrawn(int32_t x, int32_t y, int32_t width, int32_t height) {
    markRows(frameStale, x, y, width, height);
    markRows(frameChanged, x, y, width, height);
}

// A part of the course changed: the next frame takes it over.
void markCourse(int32_t x, int32_t y, int32_t width, int32_t height) {
    markRows(frameStale, x, y, width, height);
}

// Brings frameSurface back to the bare course.
void restoreCourse() {
    if (!frameInSync) {
        copyRect(frameSurface, 0, 0, PlayfieldWidth, PlayfieldHeight, courseSurface, 0, 0, KeyOpaque);
        clearRows(frameStale);
        return;
    }
    for (int32_t row = 0; row < PlayfieldHeight; ++row) {
        RowSpan s = frameStale[row];
        if (s.left > s.right) continue;
        copyRect(frameSurface, s.left, row, s.right - s.left + 1, 1, courseSurface, s.left, row,
                 KeyOpaque);
        markRows(frameChanged, s.left, row, s.right - s.left + 1, 1);
        frameStale[row] = RowSpan{1, 0};
    }
}

void showFrame(int32_t cameraX, int32_t cameraY) {
    if (!wideLayout()) {
        copyRect(screenSurface, viewX, viewY, 640, 480, frameSurface, cameraX, cameraY, KeyOpaque);
    } else if (!frameInSync) {
        copyRect(screenSurface, originX, originY, PlayfieldWidth, PlayfieldHeight, frameSurface, 0,
                 0, KeyOpaque);
    } else {
        for (int32_t row = 0; row < PlayfieldHeight; ++row) {
            RowSpan s = frameChanged[row];
            if (s.left > s.right) continue;
            copyRect(screenSurface, originX + s.left, originY + row, s.right - s.left + 1, 1,
                     frameSurface, s.left, row, KeyOpaque);
        }
    }
    clearRows(frameChanged);
    frameInSync = true;
}

int32_t spriteColumn(const Runner& r) {
    if (r.lap == 2 && r.section == SectionBottom) return FinalStraightColumn;
    return 64 * (r.section & 0x0F);
}

}  // namespace

RowSpan frameStale[640];
RowSpan frameChanged[640];
bool frameInSync;

void resetRaceDisplay() {
    frameInSync = false;
    clearRows(frameStale);
    clearRows(frameChanged);
}

void drawRaceFrame(int32_t cameraX, int32_t cameraY) {
    cameraX = clampCamera(cameraX);
    cameraY = clampCamera(cameraY);
    restoreCourse();

    bool parading = false;
    for (int32_t i = 0; i < RunnerCount; ++i) {
        Runner& r = runners[i];
        if (r.section == SectionOffCourse) continue;
        int32_t column = spriteColumn(r);
        drawKickUp(i, 0);
        copyRect(frameSurface, r.x, r.y, SpriteSize, SpriteSize, sheetSurface,
                 column + SpriteSize * r.animFrame, SpriteRowTop + SpriteSize * i, KeyTransparent);
        markDrawn(r.x, r.y, SpriteSize, SpriteSize);
        // Each running picture stays for two drawn frames.
        r.animTick = uint8_t((r.animTick + 1) % 2);
        if (r.animTick == 0) r.animFrame = uint8_t((r.animFrame + 1) % 2);
        drawKickUp(i, 1);
        if (r.section >= SectionParadeLeft) parading = true;
    }
    if (parading) {
        copyRect(frameSurface, CoverX, CoverY, CoverWidth, CoverHeight, sheetSurface, CoverSheetX,
                 CoverSheetY, KeyTransparent);
        markDrawn(CoverX, CoverY, CoverWidth, CoverHeight);
    }
    showFrame(cameraX, cameraY);
    requestRepaint();
}

void drawKickUp(int32_t i, int32_t layer) {
    const Runner& r = runners[i];
    if (scene == SceneParade || r.lap > 2) return;
    int32_t e = paceFactor(i) >= 120 ? 16 : 0;

    // Columns first..last; in each column rows from top down to floor (numerically),
    // the floor moving by floorStep per column.
    int32_t first, last, top, floor, floorStep;
    if (r.section == SectionTop && layer == 1) {
        first = r.x + 16, last = r.x + 47 + e, top = r.y + 31, floor = r.y + 31, floorStep = -1;
    } else if (r.section == SectionRight && layer == 1) {
        first = r.x, last = r.x + 30, top = r.y + 48 + e, floor = r.y + 16, floorStep = 0;
    } else if (r.section == SectionBottom && layer == 1) {
        first = r.x - 16 - e, last = r.x + 15, top = r.y + 31, floor = r.y - e, floorStep = 1;
    } else if (r.section == SectionLeft && layer == 0) {
        first = r.x, last = r.x + 30, top = r.y + 16, floor = r.y - 16 - e, floorStep = 0;
    } else {
        return;
    }

    int32_t lastFloor = floor + floorStep * (last - first);
    int32_t lowest = floor < lastFloor ? floor : lastFloor;
    markDrawn(first, lowest, last - first + 1, top - lowest + 1);

    uint32_t colour = trackKind == 0 ? 0x008000u : 0x6D3810u;
    int32_t chance = trackKind == 0 ? 16 : 8;
    for (int32_t column = first; column <= last; ++column, floor += floorStep) {
        // Columns off the playfield draw no numbers at all; rows off it still do.
        if (column < 0 || column >= PlayfieldWidth) continue;
        for (int32_t row = top; row >= floor; --row) {
            int32_t draw = pellrunRand() % chance;
            if (draw == 0 && row >= 0 && row < PlayfieldHeight)
                putPixel(frameSurface, column, row, colour);
        }
    }
}

void drawBoardDigit(int32_t k, int32_t runner, uint32_t colour) {
    char gate[2] = {char('1' + runner), 0};
    drawText(courseSurface, gate, BoardBoxLeft + BoardBoxPitch * k, BoardBoxTop, colour,
             antiAlias == 0 ? TextSmoothed : TextPlain, BoardBoxSize, BoardBoxSize, 0, "");
    markCourse(BoardBoxLeft + BoardBoxPitch * k, BoardBoxTop, BoardBoxSize, BoardBoxSize);
}

void clearOrderBoard() {
    for (int32_t k = 0; k < RunnerCount; ++k)
        drawRect(courseSurface, BoardBoxLeft + BoardBoxPitch * k, BoardBoxTop,
                 BoardBoxLeft + BoardBoxPitch * k + BoardBoxSize - 1, BoardBoxTop + BoardBoxSize - 1,
                 0x000000, RectFill);
    markCourse(BoardBoxLeft, BoardBoxTop, BoardBoxPitch * (RunnerCount - 1) + BoardBoxSize, BoardBoxSize);
}

void refreshOrderBoard() {
    if (boardTick < 240) {
        // A 20-frame blink of the running order: shown at count 10, blank from 20.
        ++boardTick;
        if (finishCount > 0) boardTick = 240;
        if (boardTick == 10) {
            for (int32_t k = 0; k < RunnerCount; ++k) drawBoardDigit(k, runningOrder[k], 0xFFFFFF);
        } else if (boardTick >= 20) {
            clearOrderBoard();
            if (boardTick < 240) boardTick = 0;
        }
    } else {
        // From the first placing on, boardTick - 240 runners are on the board.
        for (int32_t k = boardTick - 240; k < finishCount; ++k) {
            drawBoardDigit(k, finishOrder[k], 0xFFFFFF);
            ++boardTick;
        }
    }
}

void fadePost(int32_t towardsPost, uint32_t level) {
    if (towardsPost)
        crossFadeRect(courseSurface, PostX, PostY, PostWidth, PostHeight, courseSurface, PostX, PostY,
                      sheetSurface, PostPictureX, SpriteRowTop, level, KeyTransparent);
    else
        crossFadeRect(courseSurface, PostX, PostY, PostWidth, PostHeight, courseSurface, PostX, PostY,
                      sheetSurface, SavedPatchX, SpriteRowTop, level, KeyOpaque);
    markCourse(PostX, PostY, PostWidth, PostHeight);
}
