#include "game/Game.h"

void CGame::Update(uint32_t, uint32_t) {}
void CGame::OnKeyDown(uint32_t) {}
void CGame::OnKeyUp(uint32_t) {}
void CGame::OnMouseMove(uint32_t, uint32_t) {}
void CGame::OnMouseDown(uint32_t, uint32_t, int) {}
void CGame::OnMouseUp(uint32_t, uint32_t, int) {}
int CGame::GetNextScreen() { return quitRequested ? SCREEN_QUIT : SCREEN_STAY; }
bool CGame::HitTest(float, float, const BoardPiece&) const { return false; }
void CGame::BringToTop(size_t) {}
void CGame::SendToBottom(size_t) {}
int CGame::FindSnapTarget() { return -1; }
bool CGame::IsSolved() const { return false; }
void CGame::RaiseLoosePieces() {}
void CGame::AskQuit() {}
void CGame::ClampScroll() {}
