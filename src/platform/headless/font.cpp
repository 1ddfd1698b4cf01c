// The headless platform always draws text with the same font file, so its pictures are
// the same on every machine that has the font installed.
#include "platform/soft/soft.h"

const char* backendFontFile() { return "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"; }
