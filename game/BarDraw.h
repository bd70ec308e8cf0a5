// Drawing of the button bar and the message panel (their models are in game/logic/Bar.h), with
// the shared graphics' buttons texture and font.
#pragma once

#include "game/logic/Bar.h"

void DrawBar(const ButtonBar& bar);
void DrawPanel(const MessagePanel& panel);
