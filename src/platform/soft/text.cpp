// Glyph output is not built yet: text draws nothing.
#include "platform/soft/soft.h"

int backendTextOut(SoftDc*, int, int, const char*, int) { return 1; }
