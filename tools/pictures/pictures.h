// The program's pictures, each painted from code.
#pragma once

#include "image.h"

Image paintSheet();      // bitmap 101, 435 x 863
Image paintLogo();       // bitmap 104, 640 x 480
Image paintSettings();   // bitmap 107, 920 x 320
Image paintIcon(int size);   // icon 108 images, 16 and 32; key colour is transparent

// Fixed places in bitmap 101 that the program reads.
namespace sheet {
constexpr int Width = 435, Height = 863;
constexpr int TurfX = 0, DirtX = 32, TileY = 0, Tile = 32;
constexpr int BoardX = 0, BoardY = 32, BoardW = 435, BoardH = 335;
constexpr int SpriteY = 367, SpriteColumns = 10;
constexpr int PostX = 320, PostY = 367, PostW = 31, PostH = 75;
constexpr int StoreX = 351, StoreY = 367;
constexpr int InfieldX = 0, InfieldY = 559, InfieldW = 416, InfieldH = 256;
constexpr int CoverX = 0, CoverY = 815, CoverW = 144, CoverH = 48;
// Where the cover is drawn over the infield, in infield coordinates (playfield - 192).
constexpr int CoverAtX = 208 - 192, CoverAtY = 328 - 192;
}  // namespace sheet
