# fontconfig: the Linux edition looks up its Japanese gothic face by name.
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
target_link_libraries(pellrun PRIVATE PkgConfig::FONTCONFIG)

# FluidSynth renders the music of the Linux edition.
pkg_check_modules(FLUIDSYNTH REQUIRED IMPORTED_TARGET fluidsynth)
target_link_libraries(pellrun PRIVATE PkgConfig::FLUIDSYNTH)

# Xlib: the sdl backend handles the errors of drawing into a window the host destroyed.
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
target_link_libraries(pellrun PRIVATE PkgConfig::X11)
