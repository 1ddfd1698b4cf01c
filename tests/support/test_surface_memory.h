// Surfaces over plain heap memory, for tests and benchmarks that run without a platform.
//
// The record is filled as createSurface fills it (24 bits, rows padded to 4 bytes and
// stored bottom-up, all pixels black) but the pixels live in an aligned heap block of
// exactly stride x height bytes, so AddressSanitizer reports any access past either end.
// There is no device context: text output and copies to a window cannot use these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "gfx/surface.h"

inline size_t memorySurfaceBytes(const Surface& surface) {
    return size_t(surface.stride) * size_t(surface.height);
}

// False (and an empty record) when the size is not positive or memory is short.
inline bool makeMemorySurface(Surface& surface, int32_t width, int32_t height) {
    surface = Surface{};
    if (width <= 0 || height <= 0) return false;
    const int32_t stride = ((width * 24 + 31) / 32) * 4;
    const size_t bytes = size_t(stride) * size_t(height);
    void* block = ::operator new(bytes, std::align_val_t(64), std::nothrow);
    if (block == nullptr) return false;
    std::memset(block, 0, bytes);

    surface.bits = static_cast<uint8_t*>(block);
    surface.stride = stride;
    surface.bytesPerPixel = 3;
    surface.bitsPerPixel = 24;
    surface.width = width;
    surface.height = height;
    BitmapInfoHeader& header = surface.info.header;
    header.size = 40;
    header.width = width;
    header.height = height;
    header.planes = 1;
    header.bitCount = 24;
    header.sizeImage = uint32_t(bytes);
    return true;
}

inline void freeMemorySurface(Surface& surface) {
    if (surface.bits != nullptr) ::operator delete(surface.bits, std::align_val_t(64));
    surface = Surface{};
}

// Owns one memory Surface for the length of a scope.
struct MemorySurface {
    Surface surface{};

    MemorySurface(int32_t width, int32_t height) { makeMemorySurface(surface, width, height); }
    ~MemorySurface() { freeMemorySurface(surface); }
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;

    uint8_t* bytes() { return surface.bits; }
    size_t byteCount() const { return memorySurfaceBytes(surface); }
    operator Surface&() { return surface; }
};
