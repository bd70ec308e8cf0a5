#include "game/Game.h"

void CGame::InitImageLibrary(unsigned int[2]) {}
void CGame::ShutdownImageLibrary(unsigned int[2]) {}
void CGame::LoadPicture(unsigned int[2], const std::string&) {}
void CGame::CheckPictureSize() {}
void CGame::CopyPicturePixels(unsigned int[2], RgbImage&) {}
RgbImage CGame::ScaleThumbnailImage(unsigned int[2]) { return RgbImage(); }
