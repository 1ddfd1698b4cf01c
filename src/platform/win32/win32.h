// Shared state of the Win32 backend. Only files of this directory include it.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// The program's module, kept by WinMain: window class, icon and bitmap resources.
extern HINSTANCE programInstance;
// A repaint the program asked for (InvalidateRect) and has not yet begun to serve.
extern bool ownRepaintPending;
