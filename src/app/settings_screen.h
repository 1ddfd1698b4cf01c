// The settings screen: one picture with five groups of buttons and a red marker on
// each group's chosen button; a colour hit map beside the picture tells which button
// a click is on.
#pragma once
#include <cstdint>

void drawSettingsScreen();
// A left click at client point (x, y) of the settings window.
void settingsClick(int32_t x, int32_t y);
