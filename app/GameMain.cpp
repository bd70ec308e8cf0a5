#include "app/PuzzleApp.h"

#include "platform/CRT.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    srand(GetTickCount());
    int result = 0;
    try {
        CPuzzleApp app;
        result = app.Init(instance, commandLine) ? app.Run() : 0;
    } catch (...) {
        result = 0;
    }
    return result;
}
