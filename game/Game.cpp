#include "game/Game.h"

CGame::CGame(HWND window, IDirect3DDevice9* device) : CScene(window, device) {}
CGame::~CGame() { delete messagePanel; }
void CGame::SetStartRequest(const StartRequest& request) {
    mode = request.kind;
    path = request.path;
    requestedCount = request.pieceCount;
}
void CGame::DeleteResources() {}
int CGame::columnWidth(int c) const { return (c + 1 < columns ? colStart[c + 1] : areaWidth) - colStart[c]; }
int CGame::rowHeight(int r) const { return (r + 1 < rows ? rowStart[r + 1] : areaHeight) - rowStart[r]; }
