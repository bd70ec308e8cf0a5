// CScene: the base of every screen. The application owns the current screen and calls it in
// this order: constructor -> [SetStartRequest, game screen only] -> CreateResources ->
// RestoreDeviceObjects -> frames (Update, GetNextScreen, GetClearColor, Render) and input in any
// interleaving, with InvalidateDeviceObjects / RestoreDeviceObjects around device resets ->
// InvalidateDeviceObjects -> DeleteResources -> destructor. Input may arrive before the first
// frame and after the last one.
#pragma once

#include "platform/Direct3D9.h"

#include <cstdint>

// Next-screen codes returned by GetNextScreen.
enum {
    SCREEN_STAY = 0,
    SCREEN_LOGO = 1,
    SCREEN_GAME = 2,
    SCREEN_QUIT = 3,
};

class CScene {
  public:
    CScene(HWND window, IDirect3DDevice9* device) : m_window(window), m_device(device) {}
    virtual ~CScene() = default;

    virtual void CreateResources() {}
    virtual void RestoreDeviceObjects() {}
    virtual void InvalidateDeviceObjects() {}
    virtual void DeleteResources() {}
    // Between BeginScene and EndScene, after the clear.
    virtual void Render() {}
    // now: tick count in ms; elapsed: ms since the previous frame.
    virtual void Update(uint32_t now, uint32_t elapsed) { (void)now, (void)elapsed; }
    virtual void OnKeyDown(uint32_t key) { (void)key; }
    virtual void OnKeyUp(uint32_t key) { (void)key; }
    virtual void OnChar(uint32_t ch) { (void)ch; }
    // Client pixels; g_cursorX / g_cursorY are already updated.
    virtual void OnMouseMove(uint32_t x, uint32_t y) { (void)x, (void)y; }
    // button: 0 left, 1 middle, 2 right. Double-click messages are not delivered.
    virtual void OnMouseDown(uint32_t x, uint32_t y, int button) { (void)x, (void)y, (void)button; }
    virtual void OnMouseUp(uint32_t x, uint32_t y, int button) { (void)x, (void)y, (void)button; }
    virtual int GetNextScreen() { return SCREEN_STAY; }
    // 0 means: do not clear the frame.
    virtual D3DCOLOR GetClearColor() { return 0xFF000000; }

  protected:
    HWND m_window;
    IDirect3DDevice9* m_device;
};
