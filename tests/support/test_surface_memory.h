// Surfaces over plain heap memory for tests and benchmarks: laid out as createSurface lays
// them out (24 bits, rows padded to 4 bytes, bottom-up, all black) in an aligned block of
// exactly stride x height bytes, so AddressSanitizer reports any access past either end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "gfx/surface.h"

inline size_t memorySurfaceBytes(const Surface& s) { return size_t(s.stride) * size_t(s.height); }

// Owns one memory Surface for the length of a scope (an empty record if memory is short).
struct MemorySurface {
    Surface surface{};

    MemorySurface(int32_t width, int32_t height) {
        if (width <= 0 || height <= 0) return;
        const int32_t stride = ((width * 24 + 31) / 32) * 4;
        const size_t bytes = size_t(stride) * size_t(height);
        void* block = ::operator new(bytes, std::align_val_t(64), std::nothrow);
        if (block == nullptr) return;
        std::memset(block, 0, bytes);
        surface.bits = static_cast<uint8_t*>(block);
        surface.width = width, surface.height = height, surface.stride = stride;
        surface.bytesPerPixel = 3, surface.bitsPerPixel = 24;
        surface.info.header = BitmapInfoHeader{40, width, height, 1, 24, 0, uint32_t(bytes), 0, 0, 0, 0};
    }
    ~MemorySurface() {
        if (surface.bits != nullptr) ::operator delete(surface.bits, std::align_val_t(64));
    }
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;

    uint8_t* bytes() { return surface.bits; }
    operator Surface&() { return surface; }
};
