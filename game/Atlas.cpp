#include "game/Game.h"

void CGame::CreatePuzzleTexture() {}
void CGame::FillPuzzleTexture(const RgbImage&) {}
void CGame::BuildThumbnail(unsigned int[2]) {}
