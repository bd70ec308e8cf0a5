#include "game/Game.h"

void CGame::Render() {}
D3DCOLOR CGame::GetClearColor() { return 0xFF000000; }
void CGame::DrawPiece(const BoardPiece&, float, float, bool) {}
void CGame::DrawThumbnail() {}
