// The bar's and panel's input logic, layout and clock text.
#include "game/logic/Bar.h"

#include <algorithm>
#include <cstdio>

namespace {

const char* const kTooltips[BAR_BUTTONS] = {
    "Przesuwa puzzle ze spodu na wierzch [Shift]",
    "Pokazuje puzzle półprzezroczyste tak, że widać to co jest pod spodem [Ctrl]",
    "Pokazuje miniaturkę całego układanego obrazka [Tab]",
    "Zapisuje grę w celu jej późniejszego wczytania i kontynuowania",
    "Pozwala wyłączyć grę [ESC]",
};

void LayOutBar(Button (&buttons)[BAR_BUTTONS], float slide) {
    for (int i = 0; i < BAR_BUTTONS; ++i) {
        buttons[i].left = static_cast<float>(250 + 110 * i);
        buttons[i].right = static_cast<float>(350 + 110 * i);
        buttons[i].top = 605.0f - slide;
        buttons[i].bottom = 655.0f - slide;
    }
}

void AppendTwoDigits(std::string& out, uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, value < 10 ? "0%llu" : "%llu",
                  static_cast<unsigned long long>(value));
    out += buffer;
}

} // namespace

void Button::OnMouseMove(float x, float y) {
    hover = Contains(x, y);
}

void Button::OnMouseDown(float x, float y) {
    if (Contains(x, y))
        pressed = true;
}

void Button::OnMouseUp(float x, float y) {
    if (!pressed)
        return;
    pressed = false;
    if (Contains(x, y))
        clicked = true;
}

bool Button::TakeClick() {
    bool was = clicked;
    clicked = false;
    return was;
}

// The buttons are laid out at once, so that input arriving before the first frame meets them in
// their places rather than as empty rectangles at the origin.
ButtonBar::ButtonBar() : buttons{Button(0), Button(1), Button(2), Button(3), Button(4)} {
    LayOutBar(buttons, slide);
}

void ButtonBar::Update(uint32_t, uint32_t elapsed) {
    if (visible && slide <= 60.0f)
        slide = std::min(slide + 0.2f * static_cast<float>(elapsed), 60.0f);
    if (!visible && slide > 0.0f)
        slide = std::max(slide - 0.2f * static_cast<float>(elapsed), 0.0f);
    LayOutBar(buttons, slide);
}

void ButtonBar::OnMouseMove(float x, float y) {
    for (Button& b : buttons)
        b.OnMouseMove(x, y);
    tooltip.clear();
    for (int i = 0; i < 5; ++i) {
        if (buttons[i].hover) {
            tooltip = kTooltips[i];
            break;
        }
    }
}

namespace {
bool InBarArea(float x, float y, float slide) {
    return x >= 0.0f && x <= 800.0f && y >= 600.0f - slide && y <= 600.0f;
}
} // namespace

bool ButtonBar::OnMouseDown(float x, float y) {
    for (Button& b : buttons)
        b.OnMouseDown(x, y);
    return InBarArea(x, y, slide);
}

bool ButtonBar::OnMouseUp(float x, float y) {
    for (Button& b : buttons)
        b.OnMouseUp(x, y);
    return InBarArea(x, y, slide);
}

bool ButtonBar::TakeClick(int index) {
    if (index < 0 || index >= 5)
        return false;
    return buttons[index].TakeClick();
}

void ButtonBar::ToggleVisible() {
    visible = !visible;
}

std::string FormatClock(uint64_t milliseconds) {
    std::string text;
    AppendTwoDigits(text, milliseconds / 3600000);
    text += ':';
    AppendTwoDigits(text, (milliseconds / 60000) % 60);
    text += ':';
    AppendTwoDigits(text, (milliseconds / 1000) % 60);
    return text;
}

MessagePanel::MessagePanel(int k, const std::string& t) : kind(k), text(t) {
    if (kind == PANEL_QUESTION) {
        buttons.push_back(std::make_unique<Button>(5));
        buttons.push_back(std::make_unique<Button>(6));
    } else if (kind == PANEL_NOTICE) {
        buttons.push_back(std::make_unique<Button>(7));
    }
    const int n = static_cast<int>(buttons.size());
    const float rowWidth = static_cast<float>((n - 1) * 10 + n * 100);
    for (int i = 0; i < n; ++i) {
        Button& b = *buttons[i];
        b.left = 400.0f - rowWidth / 2.0f + static_cast<float>(110 * i);
        b.right = b.left + 100.0f;
        b.top = 305.0f;
        b.bottom = 355.0f;
    }
}

bool MessagePanel::TakeClick(int index) {
    if (index < 0 || index >= static_cast<int>(buttons.size()))
        return false;
    return buttons[index]->TakeClick();
}

void MessagePanel::OnKeyDown(uint32_t key) {
    if ((key == 13 || key == 32) && !buttons.empty())
        buttons[0]->clicked = true;
    else if (key == 27 && kind == PANEL_QUESTION && buttons.size() > 1)
        buttons[1]->clicked = true;
}

void MessagePanel::OnMouseMove(float x, float y) {
    for (auto& b : buttons)
        b->OnMouseMove(x, y);
}

void MessagePanel::OnMouseDown(float x, float y) {
    for (auto& b : buttons)
        b->OnMouseDown(x, y);
}

void MessagePanel::OnMouseUp(float x, float y) {
    for (auto& b : buttons)
        b->OnMouseUp(x, y);
}
