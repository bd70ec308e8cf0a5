// CPuzzleApp: the game program's application. It reads the start options from the command line
// (or hands over to the launcher when there are none), owns the shared graphics object and the
// current screen, forwards the device life cycle, frames and input to that screen, and switches
// screens: intro -> logo screen -> game screen -> end.
#pragma once

#include "framework/App.h"
#include "framework/Scene.h"
#include "framework/StartRequest.h"

class CPuzzleApp : public CApp {
  public:
    // Makes the program's own folder the current directory and creates the empty CGfx.
    CPuzzleApp();
    // Deletes the CGfx; its textures and font were released by the device teardown.
    ~CPuzzleApp() override;

    // Publishes the device and the mouse position, loads the shared textures, makes the intro.
    void CreateResources() override;
    // Render states shared by every screen, the text font, then the screen's objects.
    void RestoreDeviceObjects() override;
    void InvalidateDeviceObjects() override;
    void DeleteResources() override;
    // The screen's frame, then its next-screen code; a switch takes effect before this returns,
    // the quit code ends the program as a closed window does (after this frame is shown).
    void Update(uint32_t now, uint32_t elapsed) override;
    void Render() override;
    // Offers input to the current screen, then hands every message on to CApp.
    LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    // "-f" / "--framerate", then the start options, then CApp's windowed option.
    void HandleArgument(const char* argument) override;
    // Without a start request the launcher is started and the program ends.
    bool CanStart() override;

  protected:
    void SetProgramFolder();
    // Makes the screen current and hands it the mouse position.
    void Show(CScene* screen);
    void SwitchScreen(int code);
    void DrawFps();

    bool m_showFps = false;
    StartRequest m_startRequest;
    CScene* m_screen = nullptr;
};
