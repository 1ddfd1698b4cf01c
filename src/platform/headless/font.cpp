// The headless platform draws text with the font file of its configuration, so its
// pictures are the same on every machine that has that file.
#include "platform/headless/headless.h"

const char* backendFontFile() { return headlessConfig().fontFile; }
