// Plain POSIX files for the player where the whole platform is not linked: the sdl
// stream tests link the sdl sound backend alone, the fuzz target no backend at all.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

static int fdOf(FileHandle file) { return int(reinterpret_cast<intptr_t>(file)) - 1; }

FileHandle platFileOpen(const char* path, int mode) {
    int fd = open(path, mode == FileCreateAlways ? O_RDWR | O_CREAT | O_TRUNC : O_RDONLY, 0644);
    return fd < 0 ? nullptr : reinterpret_cast<FileHandle>(intptr_t(fd) + 1);
}
int64_t platFileSeek(FileHandle file, int64_t position, bool fromEnd) {
    return lseek(fdOf(file), position, fromEnd ? SEEK_END : SEEK_SET);
}
static int done(ssize_t n, uint32_t* count) { return *count = n < 0 ? 0 : uint32_t(n), n >= 0; }
int platFileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* n) {
    return done(read(fdOf(file), buffer, count), n);
}
int platFileWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* n) {
    return done(write(fdOf(file), buffer, count), n);
}
uint32_t platFileSize(FileHandle file) {
    struct stat info;
    return fstat(fdOf(file), &info) == 0 ? uint32_t(info.st_size) : 0;
}
int platFileClose(FileHandle file) { return close(fdOf(file)) == 0; }
