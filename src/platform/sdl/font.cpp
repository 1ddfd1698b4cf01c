// The Linux edition finds its Japanese gothic face through fontconfig, once.
#include <fontconfig/fontconfig.h>

#include <cstring>

#include "platform/soft/soft.h"

namespace {
// Used when fontconfig has no match (the file the package installs).
constexpr char FallbackFont[] = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
char fontFile[4096];
bool looked;
}  // namespace

const char* backendFontFile() {
    if (looked) return fontFile;
    looked = true;
    std::strncpy(fontFile, FallbackFont, sizeof fontFile - 1);
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("IPAGothic:lang=ja"));
    if (!pattern) return fontFile;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8* file = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        std::strncpy(fontFile, reinterpret_cast<const char*>(file), sizeof fontFile - 1);
        fontFile[sizeof fontFile - 1] = 0;
    }
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return fontFile;
}
