# Emscripten's file packager names the songs' package with a random id (used only to
# cache it in the browser, which the page does not ask for); the id becomes a digest of
# the package's bytes, so that two builds give the same script.
#   cmake -DSCRIPT=pellrun.js -DDATA=pellrun.data -P web-package-id.cmake
file(READ ${SCRIPT} text)
file(SHA256 ${DATA} digest)
string(SUBSTRING ${digest} 0 32 digest)
string(REGEX REPLACE "\"package_uuid\":\"[^\"]*\"" "\"package_uuid\":\"${digest}\"" fixed "${text}")
if(NOT fixed STREQUAL text)
  file(WRITE ${SCRIPT} "${fixed}")
endif()
