# fontconfig: the Linux edition looks up its Japanese gothic face by name.
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
target_link_libraries(pellrun PRIVATE PkgConfig::FONTCONFIG)

# FluidSynth renders the music of the Linux edition.
pkg_check_modules(FLUIDSYNTH REQUIRED IMPORTED_TARGET fluidsynth)
target_link_libraries(pellrun PRIVATE PkgConfig::FLUIDSYNTH)
