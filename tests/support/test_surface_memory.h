// Surfaces over plain heap memory, for tests and benchmarks without a platform: filled as
// createSurface fills them (24 bits, rows padded to 4 bytes, bottom-up, all black), but in
// an aligned block of exactly stride x height bytes, so AddressSanitizer reports any access
// past either end. There is no device context: no text output, no copies to a window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "gfx/surface.h"

inline size_t memorySurfaceBytes(const Surface& surface) {
    return size_t(surface.stride) * size_t(surface.height);
}

// Owns one memory Surface for the length of a scope (an empty record if memory is short).
struct MemorySurface {
    Surface surface{};

    MemorySurface(int32_t width, int32_t height) {
        if (width <= 0 || height <= 0) return;
        const int32_t stride = ((width * 24 + 31) / 32) * 4;
        void* block = ::operator new(size_t(stride) * size_t(height), std::align_val_t(64), std::nothrow);
        if (block == nullptr) return;
        std::memset(block, 0, size_t(stride) * size_t(height));
        surface.bits = static_cast<uint8_t*>(block);
        surface.stride = stride;
        surface.bytesPerPixel = 3;
        surface.bitsPerPixel = 24;
        surface.width = width;
        surface.height = height;
        const uint32_t bytes = uint32_t(memorySurfaceBytes(surface));
        surface.info.header = BitmapInfoHeader{40, width, height, 1, 24, 0, bytes, 0, 0, 0, 0};
    }
    ~MemorySurface() {
        if (surface.bits != nullptr) ::operator delete(surface.bits, std::align_val_t(64));
    }
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;

    uint8_t* bytes() { return surface.bits; }
    operator Surface&() { return surface; }
};
