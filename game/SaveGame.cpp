#include "game/Game.h"

std::string CGame::MakeSaveName() const { return std::string(); }
void CGame::SaveGame() {}
void CGame::LoadGame() {}
