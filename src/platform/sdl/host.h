// What the Linux edition takes from its surroundings, kept free of SDL so it can be
// tested on its own: the command-line options a screen-saver host passes, where the
// songs, effects and settings are, and where run-time files go.
#pragma once
#include <cstdint>

#include "platform/platform.h"

struct HostOptions {
    bool root;              // --root: draw into the host's window
    bool hasWindowId;       // -window-id given (hex with 0x, or decimal)
    uint64_t windowId;
    int32_t scale;          // --scale N: the largest whole factor used; 0 (--scale fill) for
                            // the largest factor that fits, whole or not
    bool window;            // --window: the meeting in an ordinary window, to watch
    bool primaryOnly;       // --monitors primary: the other monitors stay black
    int64_t seed;           // --seed N: the random seed, as pellrun-sim takes it; -1 for none
    RunSettings settings;   // --speed, --interval, --music/--no-music, --smooth/--no-smooth
};

// Takes the options above out of argv[1..argc-1]; the other arguments are joined with
// spaces into line (the command line as the Windows edition gets it). A value out of
// range leaves its setting unchanged. False, with an empty line, when the other
// arguments do not fit in size: a cut line could mean something else, so the caller
// starts nothing.
bool hostParseOptions(int argc, char** argv, HostOptions& options, char* line, uint32_t size);

// The data folder in the program's path form (backslashes, ending in one): $PELLRUN_DATA
// when set, else Data under the current directory when it is a folder, else
// share/pellrun beside the folder of the program (exeDir/../share/pellrun, or two levels
// up for a program kept in a folder of its own). Returns the length, 0 for none.
uint32_t hostDataFolder(const char* exeDir, char* buffer, uint32_t size);

// Setup.ini: in Data under the current directory when a file is there already, else in
// $XDG_CONFIG_HOME/pellrun (default ~/.config/pellrun), made when forWrite. Program's
// path form; returns the length, 0 for none.
uint32_t hostSettingsFile(char* buffer, uint32_t size, bool forWrite);

// The folder for this run's files (the instance marker, the sound lock), as a native
// path: one that only the user can reach, so no other user can take or plant those
// files. A folder qualifies when it is a folder (not a link) owned by the user, with no
// access for group or others. $XDG_RUNTIME_DIR when it qualifies; else tmp/pellrun-<uid>
// (made 0700; tmp is /tmp, given for tests) when tmp is a folder others cannot remove
// it from; else $XDG_CACHE_HOME/pellrun (default ~/.cache/pellrun), made when missing.
// False when none qualifies.
bool hostRuntimeFolder(const char* tmp, char* buffer, uint32_t size);
