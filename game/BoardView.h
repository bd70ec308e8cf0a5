// The player's view of the board: the scroll position, the keys and bar buttons that change how
// the board is shown, the piece being dragged, and the drawing of the board or of the preview.
#pragma once

#include "game/logic/Board.h"
#include "platform/Direct3D9.h"

#include <cstdint>

class CGfx;

// The two textures made from the picture, both A8R8G8B8 in the managed pool, owned.
struct BoardTextures {
    IDirect3DTexture9* puzzle = nullptr;    // the piece atlas, atlasSize a side
    IDirect3DTexture9* thumbnail = nullptr; // 512 x 512: the picture scaled and centred on white
    // Releases the thumbnail, then the atlas; null ones are skipped.
    void Release();
};

struct ViewState {
    float scrollX = 0; // board position of the view's top-left corner
    float scrollY = 0;
    bool keyLeft = false, keyRight = false, keyUp = false, keyDown = false;
    bool keyCtrl = false;          // pieces see-through
    bool seeThroughToggle = false; // the see-through button held; renewed every frame
    bool keyTab = false;           // the preview instead of the board
    bool previewToggle = false;    // the preview button held; renewed every frame
    bool dragging = false;         // the last piece of the board is being dragged
    float dragOffsetX = 0;         // where it was grabbed, relative to its position
    float dragOffsetY = 0;
};

class CBoardView {
  public:
    // The desk is drawn with gfx; without it (null) only the pieces are.
    CBoardView(IDirect3DDevice9* device, CGfx* gfx) : m_device(device), m_gfx(gfx) {}

    ViewState& State() { return m_state; }
    bool ShowsPreview() const { return m_state.keyTab || m_state.previewToggle; }
    bool Dragging() const { return m_state.dragging; }

    // Arrows, Tab and Ctrl held or let go; other keys are not the view's.
    void OnKey(uint32_t key, bool down);
    // One frame: scrolls by the held arrows and the cursor (client point) at a screen edge, then
    // keeps the dragged piece under the cursor.
    void Step(Board& board, uint32_t elapsed, float barSlide, int cursorX, int cursorY);
    // Starts dragging the topmost piece under screen point (x, y), raised to the top.
    void Grab(Board& board, float x, float y);
    // Ends a drag; false when none was going on.
    bool EndDrag();

    // The preview, or the desktop and the pieces (the dragged one lifted over its shadow).
    void Draw(const Board& board, const BoardTextures& textures) const;

  private:
    void DrawPiece(const Board& board, IDirect3DTexture9* atlas, const BoardPiece& p, float dx, float dy,
                   bool shadow) const;
    void DrawThumbnail(IDirect3DTexture9* thumbnail) const;

    IDirect3DDevice9* m_device;
    CGfx* m_gfx;
    ViewState m_state;
};
