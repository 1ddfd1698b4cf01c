// The runner mouse in every view the race needs, painted into a 32 x 32 cell on the key
// colour. The light falls from the top left in every view, also in the mirrored ones.
#pragma once

#include "image.h"

struct MouseLook {
    uint32_t furHi, fur, furLo;   // fur lit, plain, in shade
    bool cloth;                   // saddle cloth on the back
    uint32_t clothHi, clothLo;    // cloth lit and shaded
    uint32_t number;              // post number on the cloth
    int post;                     // 1..6; 0 for no number
};

// Grey-brown race mouse with the cloth of post 1..6 (white, black, red, blue, yellow, green).
MouseLook runnerLook(int post);
// Plain grey mouse without a cloth, for the emblem and the icon.
MouseLook greyLook();

enum class View { Left, Back, Front, Right, Sprint, Head };   // Head: the face alone, for emblems

// Paints one cell at (ox, oy); frame 0 is the stretched stride, frame 1 the gathered one.
// Frame 2 of the front view is a standing pose with the feet together.
void paintMouse(Image& im, int ox, int oy, View view, int frame, const MouseLook& look);

// 3 x 5 pixel digits for the cloths and other tiny numbers.
void drawTinyDigit(Image& im, int x, int y, int digit, uint32_t c);
