// Process entry of the Windows edition: keep the instance, hand the rest of the
// command line and the show command to the game.
#include "platform/platform.h"
#include "platform/win32/win32.h"

HINSTANCE programInstance = nullptr;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    programInstance = instance;
    return pellrunMain(commandLine ? commandLine : "", showCommand);
}
