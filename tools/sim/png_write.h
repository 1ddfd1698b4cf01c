// Writes a 24-bit bottom-up BGR picture as a PNG file.
#pragma once
#include <cstdint>

bool writePng(const char* path, const uint8_t* bits, int width, int height, int stride);
