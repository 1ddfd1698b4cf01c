// The program's Surfaces, where the 800 x 640 playfield sits in the window, and the
// presentations several scenes share.
#pragma once
#include <cstdint>

#include "gfx/surface.h"

constexpr int32_t PlayfieldWidth = 800;
constexpr int32_t PlayfieldHeight = 640;

extern Surface screenSurface;   // exactly what the window shows
extern Surface frameSurface;    // the composed playfield of the current frame
extern Surface courseSurface;   // the playfield background
extern Surface logoSurface;     // the logo screen
extern Surface sheetSurface;    // the sprite sheet (the settings sheet in settings mode)
// The picture scaled to the host's preview pane; what the window shows in the preview.
extern Surface previewSurface;

// Playfield placement: originX -1 is the narrow 640 x 480 layout.
extern int32_t originX;
extern int32_t originY;
// Where the narrow layout's 640 x 480 view sits in the window: centred in windows 640
// to 799 wide (black around it), at the top left otherwise.
extern int32_t viewX;
extern int32_t viewY;

inline bool wideLayout() { return originX >= 0; }

// Forgets the Surfaces (without releasing them), the placement and the rows written, as
// at process start.
void resetPresentation();

// Asks the window to repaint the rows of screenSurface written since the last request.
void requestRepaint();
// Every write into a Surface reports its rows here (top..bottom-1, top-down); those of
// screenSurface are kept for the next repaint request.
void noteRowsWritten(const Surface& surface, int64_t top, int64_t bottom);
// Hands over the rows of screenSurface written since the last call: false when none.
bool takeScreenRows(int32_t& top, int32_t& bottom);
// Copies the invalid rectangle of screenSurface to the window.
void paintWindow();
void showLogo(uint32_t darkness);
void showCourse();
