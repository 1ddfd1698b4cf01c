// Files by record: a handle and the path it was opened with.
#pragma once
#include <cstdint>

#include "platform/platform.h"

struct FileRecord {
    FileHandle handle;
    char path[260];
};

enum : int32_t { FilePositionCurrent = -1, FilePositionEnd = -2 };

// mode 0: an existing file only; mode 1: create, or empty an existing one; mode 2: a song
// or effect, for reading only (a regular file of at most DataFileLimit bytes).
int32_t fileOpen(FileRecord& record, int32_t mode);
// position -1 reads at the current position; otherwise seeks there first.
// Returns the number of bytes read, 0 on failure.
int32_t fileRead(FileRecord& record, void* buffer, int32_t position, uint32_t count);
// As fileRead; position -2 means the end of the file.
int32_t fileWrite(FileRecord& record, const void* buffer, int32_t position, uint32_t count);
uint32_t fileSize(FileRecord& record);
int32_t fileClose(FileRecord& record);
