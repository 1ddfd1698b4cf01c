# Glyph output of the software window system (sdl and headless): FreeType.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FREETYPE2 REQUIRED IMPORTED_TARGET freetype2)
target_link_libraries(pellrun_soft PRIVATE PkgConfig::FREETYPE2)
