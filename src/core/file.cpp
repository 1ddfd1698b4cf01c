#include "core/file.h"

int32_t fileOpen(FileRecord& record, int32_t mode) {
    const int how = mode == 1 ? FileCreateAlways : mode == 2 ? FileReadData : FileOpenExisting;
    record.handle = platFileOpen(record.path, how);
    return record.handle ? 1 : 0;
}

// Moves to position (-1 stays, -2 goes to the end); false when the platform does not
// report exactly the position asked for.
static bool seekFor(FileRecord& record, int32_t position) {
    if (position == FilePositionCurrent) return true;
    if (position == FilePositionEnd) return platFileSeek(record.handle, 0, true) >= 0;
    return platFileSeek(record.handle, position, false) == position;
}

int32_t fileRead(FileRecord& record, void* buffer, int32_t position, uint32_t count) {
    if (!record.handle || !seekFor(record, position)) return 0;
    uint32_t done = 0;
    if (!platFileRead(record.handle, buffer, count, &done)) return 0;
    return static_cast<int32_t>(done);
}

int32_t fileWrite(FileRecord& record, const void* buffer, int32_t position, uint32_t count) {
    if (!record.handle || !seekFor(record, position)) return 0;
    uint32_t done = 0;
    if (!platFileWrite(record.handle, buffer, count, &done)) return 0;
    return static_cast<int32_t>(done);
}

uint32_t fileSize(FileRecord& record) { return record.handle ? platFileSize(record.handle) : 0; }

int32_t fileClose(FileRecord& record) {
    if (!record.handle) return 0;
    int32_t result = platFileClose(record.handle);
    record.handle = nullptr;
    return result;
}
