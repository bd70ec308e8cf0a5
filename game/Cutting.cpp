#include "game/Game.h"

void CGame::ComputeGrid() {}
void CGame::PlaceGridLines() {}
void CGame::ChooseTabSides() {}
void CGame::BuildOwnerMap() {}
