# The web edition (the `web` preset, Debian's emscripten): pellrun.html and the files
# beside it in the build folder: the program (pellrun.js, pellrun.wasm), the songs and
# effects (pellrun.data), the page's script (pellrun-page.js, bundled by esbuild from
# the npm packages that `npm ci` installs), the synthesizer's AudioWorklet processor and
# the General MIDI soundfont (pellrun.sf3). `web-zip` packs them as
# Pellrun-<version>-web.zip, for any static web host.
set(web ${CMAKE_SOURCE_DIR}/src/platform/web)
file(GLOB PELLRUN_WEB_SOURCES CONFIGURE_DEPENDS ${web}/*.cpp)
# The page's settings are parsed as the Linux edition's options.
add_executable(pellrun ${PELLRUN_WEB_SOURCES} ${CMAKE_SOURCE_DIR}/src/platform/sdl/host.cpp)
target_include_directories(pellrun PRIVATE src)
pellrun_link_backend(pellrun pellrun_soft pellrun_embedded)
set_target_properties(pellrun PROPERTIES SUFFIX ".js")

file(GLOB data RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/Data/*.dat)
set(preload "")
foreach(file ${data})
  list(APPEND preload "SHELL:--preload-file ${CMAKE_SOURCE_DIR}/${file}@/${file}")
endforeach()
target_link_options(pellrun PRIVATE
  -sMODULARIZE=1 -sEXPORT_NAME=createPellrun -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=33554432
  -sEXPORTED_RUNTIME_METHODS=FS
  ${preload})
add_custom_command(TARGET pellrun POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DSCRIPT=pellrun.js -DDATA=pellrun.data -P ${CMAKE_SOURCE_DIR}/cmake/web-package-id.cmake)
list(TRANSFORM data PREPEND ${CMAKE_SOURCE_DIR}/ OUTPUT_VARIABLE data_paths)
set_property(TARGET pellrun APPEND PROPERTY LINK_DEPENDS ${data_paths})

# The page and its script.
set(modules ${CMAKE_SOURCE_DIR}/node_modules)
if(NOT EXISTS ${modules}/.bin/esbuild OR NOT EXISTS ${modules}/spessasynth_lib)
  message(FATAL_ERROR "web: the page's npm packages are missing: run `npm ci` in ${CMAKE_SOURCE_DIR} "
                      "(./scripts/setup.sh --web does)")
endif()
file(GLOB page_sources CONFIGURE_DEPENDS ${web}/page/*.js)
add_custom_command(OUTPUT pellrun-page.js
  COMMAND ${modules}/.bin/esbuild ${web}/page/main.js --bundle --minify --format=iife
          --target=es2020 --legal-comments=none --outfile=${CMAKE_BINARY_DIR}/pellrun-page.js --log-level=warning
  DEPENDS ${page_sources} ${CMAKE_SOURCE_DIR}/package-lock.json
  COMMENT "Bundling the page's script")
set(processor ${modules}/spessasynth_lib/dist/spessasynth_processor.min.js)
add_custom_command(OUTPUT spessasynth_processor.min.js pellrun.html pellrun.ico
  COMMAND ${CMAKE_COMMAND} -E copy ${processor} ${web}/page/pellrun.html ${CMAKE_BINARY_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/res/icon108.ico ${CMAKE_BINARY_DIR}/pellrun.ico
  DEPENDS ${processor} ${web}/page/pellrun.html ${CMAKE_SOURCE_DIR}/res/icon108.ico)

# The soundfont the Linux edition plays, compressed (Ogg Vorbis samples), with the Ogg
# streams numbered in order instead of at random, so that two builds give the same bytes.
set(soundfont /usr/share/sounds/sf2/TimGM6mb.sf2)
find_program(SF3CONVERT sf3convert)
find_program(PYTHON python3)
add_custom_command(OUTPUT pellrun.sf3
  COMMAND ${SF3CONVERT} -z ${soundfont} pellrun.sf3.part > sf3convert.log
  COMMAND ${PYTHON} ${CMAKE_SOURCE_DIR}/cmake/ogg_serials.py pellrun.sf3.part pellrun.sf3
  DEPENDS ${soundfont} ${CMAKE_SOURCE_DIR}/cmake/ogg_serials.py
  COMMENT "Compressing the soundfont")

add_custom_target(web ALL DEPENDS pellrun pellrun-page.js spessasynth_processor.min.js pellrun.html pellrun.ico
                                 pellrun.sf3)

# cmake --build --preset web --target web-zip: Pellrun-<version>-web.zip.
set(zip ${CMAKE_BINARY_DIR}/Pellrun-${PELLRUN_VERSION}-web.zip)
set(entries "")
foreach(file pellrun.html pellrun.ico pellrun.js pellrun.wasm pellrun.data pellrun-page.js
             spessasynth_processor.min.js pellrun.sf3)
  list(APPEND entries ${file}=${CMAKE_BINARY_DIR}/${file})
endforeach()
list(APPEND entries README.txt=${web}/page/README.txt LICENSE.txt=${CMAKE_SOURCE_DIR}/LICENSE
                    NOTICES.txt=${web}/page/NOTICES.txt)
add_custom_target(web-zip
  COMMAND ${PYTHON} ${CMAKE_SOURCE_DIR}/cmake/release_zip.py ${zip} ${entries}
  DEPENDS web ${web}/page/README.txt ${web}/page/NOTICES.txt
  COMMENT "Packing ${zip}")
