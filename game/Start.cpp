#include "game/Game.h"

void CGame::CreateResources() {}
void CGame::ScatterPieces() {}
