// CApp: the skeleton of a Direct3D 9 program. It splits the command line, creates one window and
// one device, runs the message loop that renders continuously while the program is active, keeps
// the frame rate, survives device loss by resetting, and tears everything down in a fixed order.
// A program derives from it and fills in the hooks; exactly one object exists per process.
//
// Hook order: OnWindowCreated -> CreateResources -> RestoreDeviceObjects -> frames (Update,
// Render) with InvalidateDeviceObjects / RestoreDeviceObjects around every device reset ->
// InvalidateDeviceObjects -> DeleteResources. Failures are thrown as CError.
#pragma once

#include "platform/Direct3D9.h"

#include <cstdint>

class CApp {
  public:
    // Publishes this object in g_pApp and starts paused (inactive, no window, no device).
    CApp();

    // After the window exists, before the device is created.
    virtual void OnWindowCreated() {}
    // After the device is created: objects that survive a Reset.
    virtual void CreateResources() {}
    // After device creation and after every successful Reset: render states, default-pool objects.
    virtual void RestoreDeviceObjects() {}
    // Once per frame before Render; elapsed is the unsigned difference to the previous frame.
    virtual void Update(uint32_t now, uint32_t elapsed) { (void)now, (void)elapsed; }
    // Once per frame; clears, begins and ends the scene itself.
    virtual void Render() {}
    // Before Reset and at shutdown: releases what RestoreDeviceObjects made.
    virtual void InvalidateDeviceObjects() {}
    // At shutdown: releases what CreateResources made.
    virtual void DeleteResources() {}
    // Once, when the program starts to end (Quit): what every end must do.
    virtual void OnClose() {}
    // Releases the Direct3D object if the program ended without Quit (no loop ran).
    virtual ~CApp();

    // The message loop: returns the exit code of WM_QUIT, after DestroyDevice.
    virtual int Run();
    virtual LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // One command-line argument: "-w" / "--window" selects windowed mode; the rest is ignored.
    virtual void HandleArgument(const char* argument);
    // Asked after the command line, before anything is created; false ends Init quietly.
    virtual bool CanStart() { return true; }

    // True when window and device exist and Run may follow; false when CanStart refused.
    bool Init(HINSTANCE instance, const char* commandLine);

    // Frames in the last whole second counted (0 during the first second after a pause).
    uint32_t FramesPerSecond() const { return m_framesPerSecond; }

  protected:
    // Splits the text after the program name into arguments for HandleArgument: blanks outside
    // double quotes separate (two blanks give an empty argument), quotes are dropped, each
    // argument keeps at most 259 characters (one character being one UTF-8 sequence, never
    // split), and the end of the text ends the last argument.
    void ParseCommandLine(const char* commandLine);
    void CreateDevice();
    void ResetDevice();
    void DestroyDevice();
    // RestoreDeviceObjects; if it throws, InvalidateDeviceObjects before the error goes on.
    void RestoreDeviceObjectsOrUndo();
    void Frame();
    // Pause counts nest; the program is active exactly when the count is 0, and the frame
    // timing restarts whenever it drops to 0.
    void Pause(bool pause);
    // The one way the program ends, whoever asks (the window's close request, a failed frame,
    // a screen's quit): releases the Direct3D object, OnClose, then WM_QUIT ends the loop after
    // the current frame, and the device is torn down. Later calls do nothing.
    void Quit();

    uint32_t m_lastFrameTime = 0;
    uint32_t m_framesInWindow = 0;
    uint32_t m_fpsWindowStart = 0;
    bool m_windowed = false;
    bool m_active = false;
    bool m_deviceLost = false;
    bool m_minimized = false;
    bool m_resourcesCreated = false;
    bool m_deviceObjectsReady = false;
    bool m_quitting = false;
    D3DPRESENT_PARAMETERS m_presentParameters{};
    HWND m_window = nullptr;
    IDirect3D9* m_direct3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    int m_width = 640;
    int m_height = 480;
    const char* m_className = "TKDXAPP";
    const char* m_title = "";
    uint32_t m_framesPerSecond = 0;

    // Shared by the whole class: the one application's pause count.
    static int s_pauseCount;
};

// The one application object, for the window procedure.
extern CApp* g_pApp;
