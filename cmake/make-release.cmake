# The files of a release, in dist/ under the source: the Debian package, the Windows
# installer, a zip of the Windows edition for copying by hand, the web edition's zip
# when there is a web build, and SHA256SUMS. Run by the linux build's `release` target:
#   cmake -DSOURCE_DIR=... -DBINARY_DIR=... -DVERSION=... -DCPACK=... -P make-release.cmake
# Every file's bytes depend on the commit only: all dates are SOURCE_DATE_EPOCH (the last
# commit's time unless it is set), archives are sorted, owners are root or none.
cmake_minimum_required(VERSION 3.25)
set(dist ${SOURCE_DIR}/dist)
set(work ${BINARY_DIR}/release)

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${SOURCE_DIR} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  execute_process(COMMAND git -C ${SOURCE_DIR} log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed OR NOT epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "release: no SOURCE_DATE_EPOCH and no git commit to take it from")
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
execute_process(COMMAND git -C ${SOURCE_DIR} status --porcelain --untracked-files=no
  OUTPUT_VARIABLE changed ERROR_QUIET)
if(changed)
  message(WARNING "release: the tree has uncommitted changes; the files are not those of the commit")
endif()

# Both change logs have an entry for this version.
file(STRINGS ${SOURCE_DIR}/CHANGELOG.md entry REGEX "^## \\[${VERSION}\\]")
file(STRINGS ${SOURCE_DIR}/packaging/linux/changelog debian LIMIT_COUNT 1)
if(NOT entry OR NOT debian MATCHES "^pellrun \\(${VERSION}\\) ")
  message(FATAL_ERROR "release: CHANGELOG.md and packaging/linux/changelog need an entry for ${VERSION}")
endif()
find_program(MAKENSIS makensis)
find_program(PYTHON python3)
if(NOT MAKENSIS OR NOT PYTHON)
  message(FATAL_ERROR "release: makensis and python3 are needed (./scripts/setup.sh installs them)")
endif()

file(REMOVE_RECURSE ${dist} ${work}/deb)
file(MAKE_DIRECTORY ${dist})

# The Debian package of this build (CPack takes its dates from SOURCE_DATE_EPOCH).
message(STATUS "release: the Debian package")
run(${CPACK} -G DEB -B ${work}/deb --config ${BINARY_DIR}/CPackConfig.cmake)
file(GLOB deb ${work}/deb/pellrun_${VERSION}_*.deb)
file(COPY ${deb} DESTINATION ${dist})

# The Windows edition: the windows preset in a folder of this build.
message(STATUS "release: the Windows edition")
set(win ${work}/windows)
run(${CMAKE_COMMAND} --preset windows -B ${win} -S ${SOURCE_DIR})
run(${CMAKE_COMMAND} --build ${win} -j 2 --target pellrun_scr installer)
file(COPY_FILE ${win}/PellrunSetup.exe ${dist}/PellrunSetup-${VERSION}.exe)
set(entries Pellrun.scr=${win}/Pellrun.scr README.txt=${win}/README.txt LICENSE.txt=${win}/LICENSE.txt
            NOTICES.txt=${win}/NOTICES.txt)
file(GLOB data RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/Data/*.dat)
foreach(file ${data})
  list(APPEND entries ${file}=${SOURCE_DIR}/${file})
endforeach()
run(${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/release_zip.py ${dist}/Pellrun-${VERSION}-windows.zip ${entries})

# The web edition, once there is a `web` preset: its build's `web-zip` target writes
# Pellrun-<version>-web.zip in its build folder.
file(READ ${SOURCE_DIR}/CMakePresets.json presets)
string(JSON count LENGTH "${presets}" configurePresets)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  string(JSON name GET "${presets}" configurePresets ${i} name)
  if(name STREQUAL "web")
    message(STATUS "release: the web edition")
    run(${CMAKE_COMMAND} --preset web -B ${work}/web -S ${SOURCE_DIR})
    run(${CMAKE_COMMAND} --build ${work}/web -j 2 --target web-zip)
    file(COPY_FILE ${work}/web/Pellrun-${VERSION}-web.zip ${dist}/Pellrun-${VERSION}-web.zip)
  endif()
endforeach()

# SHA256SUMS, as sha256sum writes it.
file(GLOB files RELATIVE ${dist} ${dist}/*)
list(SORT files)
set(sums "")
foreach(file ${files})
  file(SHA256 ${dist}/${file} sum)
  string(APPEND sums "${sum}  ${file}\n")
endforeach()
file(WRITE ${dist}/SHA256SUMS "${sums}")
message(STATUS "release: ${dist}\n${sums}")
