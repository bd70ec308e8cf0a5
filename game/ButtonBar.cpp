#include "game/ButtonBar.h"

void Button::OnMouseMove(float, float) {}
void Button::OnMouseDown(float, float) {}
void Button::OnMouseUp(float, float) {}
bool Button::TakeClick() { return false; }
void Button::Draw() const {}
ButtonBar::ButtonBar() {}
void ButtonBar::Update(uint32_t, uint32_t) {}
void ButtonBar::OnMouseMove(float, float) {}
bool ButtonBar::OnMouseDown(float, float) { return false; }
bool ButtonBar::OnMouseUp(float, float) { return false; }
bool ButtonBar::TakeClick(int) { return false; }
void ButtonBar::ToggleVisible() {}
void ButtonBar::Draw() {}
std::string FormatClock(uint64_t) { return "00:00:00"; }
MessagePanel::MessagePanel(int k, const std::string& t) : kind(k), text(t) {}
bool MessagePanel::TakeClick(int) { return false; }
void MessagePanel::OnKeyDown(uint32_t) {}
void MessagePanel::OnMouseMove(float, float) {}
void MessagePanel::OnMouseDown(float, float) {}
void MessagePanel::OnMouseUp(float, float) {}
void MessagePanel::Draw() {}
