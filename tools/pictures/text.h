// Text for headings and labels, rendered with FreeType from the IPAGothic font.
#pragma once

#include "image.h"

#include <string>

enum class Ink { Mono, Smooth };

// The fixed-pitch face for labels; the proportional one of the same family for titles.
bool openFont(const std::string& path, const std::string& proportionalPath);
void closeFont();

// Width in pixels of UTF-8 text at the given pixel height (with extra pixels of emboldening).
int textWidth(const std::string& utf8, int size, int bold = 0);
// Draws UTF-8 text with its top at y; returns the width drawn. Smooth ink blends into what
// is already there, so it belongs on opaque areas only.
int drawText(Image& im, int x, int y, const std::string& utf8, int size, uint32_t colour,
             Ink ink = Ink::Mono, int bold = 0);
// Centred on cx.
void drawTextCentred(Image& im, int cx, int y, const std::string& utf8, int size, uint32_t colour,
                     Ink ink = Ink::Mono, int bold = 0);
// The text's coverage only (0..255 per pixel), for effects such as outlines and gradients.
Image textMask(const std::string& utf8, int size, int bold, int& width, int& height, Ink ink);

// A title in the proportional face: vertical gradient fill, an edge of the given width,
// and a drop shadow to the bottom right.
struct TitleStyle {
    uint32_t top, bottom, edgeColour, shadow;
    int edge, shadowOffset, bold;
};
void drawTitle(Image& im, int x, int y, const std::string& utf8, int size, const TitleStyle& st);
int titleWidth(const std::string& utf8, int size, int bold);
