// The settings screen: one picture with five groups of buttons and a red marker on
// each group's chosen button; a colour hit map beside the picture tells which button
// a click is on.
#pragma once
#include <cstdint>

// Each setting outside the choices its group offers (a stored file may hold any byte)
// becomes the nearest choice, so every group shows a marker and is saved valid.
void nearestChoices();
void drawSettingsScreen();
// A left click at client point (x, y) of the settings window.
void settingsClick(int32_t x, int32_t y);
