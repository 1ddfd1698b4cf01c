// Plain POSIX files for the player in the sdl stream tests, which link the sdl sound
// backend alone rather than the whole sdl platform.
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
int platFileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* done) {
    ssize_t n = read(fdOf(file), buffer, count);
    *done = n < 0 ? 0 : uint32_t(n);
    return n >= 0;
}
int platFileWrite(FileHandle file, const void* buffer, uint32_t count, uint32_t* done) {
    ssize_t n = write(fdOf(file), buffer, count);
    *done = n < 0 ? 0 : uint32_t(n);
    return n >= 0;
}
uint32_t platFileSize(FileHandle file) {
    struct stat info;
    return fstat(fdOf(file), &info) == 0 ? uint32_t(info.st_size) : 0;
}
int platFileClose(FileHandle file) { return close(fdOf(file)) == 0; }
