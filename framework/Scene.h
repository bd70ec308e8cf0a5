// CScene: the base of every screen. The application owns the current screen and calls it in
// this order: constructor -> [SetStartRequest, game screen only] -> CreateResources ->
// RestoreDeviceObjects -> frames (Update, GetNextScreen, GetClearColor, Render) and input in any
// interleaving, with InvalidateDeviceObjects / RestoreDeviceObjects around device resets ->
// InvalidateDeviceObjects -> DeleteResources -> destructor. Input may arrive before the first
// frame and after the last one.
//
// A screen draws with what it is handed, never with the process-wide values: the device, the
// shared images and font (CGfx) and the mouse position, which the application sets when it makes
// the screen and before every OnMouseMove.
#pragma once

#include "platform/Direct3D9.h"

#include <cstdint>

class CGfx;

// Next-screen codes returned by GetNextScreen.
enum {
    SCREEN_STAY = 0,
    SCREEN_LOGO = 1,
    SCREEN_GAME = 2,
    SCREEN_QUIT = 3,
};

class CScene {
  public:
    // gfx may be null: then nothing of the shared images and font is drawn.
    CScene(HWND window, IDirect3DDevice9* device, CGfx* gfx = nullptr)
        : m_window(window), m_device(device), m_gfx(gfx) {}
    virtual ~CScene() = default;

    // The last mouse position in client pixels.
    void SetCursor(int x, int y) { m_cursorX = x, m_cursorY = y; }

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
    // Client pixels; the cursor position is already set to them.
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
    CGfx* m_gfx;
    int m_cursorX = 0;
    int m_cursorY = 0;
};

// A screen left at the first key or mouse button press (or when it calls Leave): from then on
// GetNextScreen gives the screen that follows it.
class CPressToLeave : public CScene {
  public:
    CPressToLeave(HWND window, IDirect3DDevice9* device, CGfx* gfx, int next)
        : CScene(window, device, gfx), m_next(next) {}

    void OnKeyDown(uint32_t) override { Leave(); }
    void OnMouseDown(uint32_t, uint32_t, int) override { Leave(); }
    int GetNextScreen() override { return m_left ? m_next : SCREEN_STAY; }

  protected:
    void Leave() { m_left = true; }

  private:
    int m_next;
    bool m_left = false;
};
