// The Linux edition's Japanese gothic face: the file the IPAGothic package installs, or
// failing that whatever fontconfig offers for IPAGothic, looked up once.
#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <cstring>

#include "platform/soft/soft.h"

namespace {
// IPAGothic as its package installs it. Opening it directly spares fontconfig's
// configuration and caches (about 1 MB) when it is there.
constexpr char PackageFont[] = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
char fontFile[4096];
bool looked;
}  // namespace

const char* backendFontFile() {
    if (looked) return fontFile;
    looked = true;
    std::strncpy(fontFile, PackageFont, sizeof fontFile - 1);
    if (access(PackageFont, R_OK) == 0) return fontFile;
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
