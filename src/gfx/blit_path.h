// Which row loops the blitters run. Every path writes exactly the same bytes; they differ
// only in speed. The best one the build and the processor offer is used unless a test or
// the benchmark picks another.
#pragma once
#include <cstdint>

enum BlitPath : int32_t {
    BlitPortable = 0,   // plain byte loops and tables
    BlitSse2 = 1,       // 16 bytes at a time (x86-64 baseline)
    BlitAvx2 = 2,       // 32 bytes at a time where the processor has it
};

// The fastest path available here.
BlitPath bestBlitPath();
// Selects a path; one that is not available falls back to the best that is. Returns the
// path now in use.
BlitPath setBlitPath(BlitPath path);
BlitPath currentBlitPath();
