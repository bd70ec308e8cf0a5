// Drawing of the button bar and the message panel (their models are in game/logic/Bar.h) with
// the device and the shared graphics' buttons texture and font; without the shared graphics the
// buttons show no picture and no text is drawn.
#pragma once

#include "game/logic/Bar.h"
#include "platform/Direct3D9.h"

class CGfx;

void DrawBar(IDirect3DDevice9* device, const CGfx* gfx, const ButtonBar& bar);
void DrawPanel(IDirect3DDevice9* device, const CGfx* gfx, const MessagePanel& panel);
