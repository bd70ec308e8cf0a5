// The models of the game screen's button bar and modal message panel, built from one clickable
// rectangle. Mouse and key input only set flags; the owner takes clicks in its next frame step.
// Their drawing is in game/BarDraw.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct Button {
    Button() = default;
    explicit Button(int id) : id(id) {}

    bool Contains(float x, float y) const { return left <= x && x <= right && top <= y && y <= bottom; }
    void OnMouseMove(float x, float y);
    void OnMouseDown(float x, float y);
    void OnMouseUp(float x, float y);
    // Returns clicked and clears it.
    bool TakeClick();

    float left = 0, top = 0, right = 0, bottom = 0;
    int32_t id = 0;
    bool hover = false;
    bool pressed = false;
    bool clicked = false;
};

// The bar's buttons, index = picture id, left to right.
enum {
    BAR_RAISE = 0,       // raises the loose pieces (Shift)
    BAR_SEE_THROUGH = 1, // pieces see-through while held (Ctrl)
    BAR_PREVIEW = 2,     // the whole picture while held (Tab)
    BAR_SAVE = 3,
    BAR_QUIT = 4, // asks first (Esc)
    BAR_BUTTONS = 5,
};

struct ButtonBar {
    ButtonBar();

    void Update(uint32_t now, uint32_t elapsed);
    void OnMouseMove(float x, float y);
    // Both return whether the point lies in the bar's area.
    bool OnMouseDown(float x, float y);
    bool OnMouseUp(float x, float y);
    bool TakeClick(int index);
    void ToggleVisible();

    bool visible = true;
    float slide = 60.0f;
    Button buttons[BAR_BUTTONS];
    std::string tooltip;
    uint64_t shownTime = 0;
    int32_t shownCount = 0;
};

// Builds the clock text hours:minutes:seconds (at least two digits each) of a play time in ms.
std::string FormatClock(uint64_t milliseconds);

enum {
    PANEL_QUESTION = 1,
    PANEL_NOTICE = 3,
};

struct MessagePanel {
    MessagePanel(int kind, const std::string& text);

    bool TakeClick(int index);
    void OnKeyDown(uint32_t key);
    void OnMouseMove(float x, float y);
    void OnMouseDown(float x, float y);
    void OnMouseUp(float x, float y);

    int32_t kind;
    std::string text;
    std::vector<std::unique_ptr<Button>> buttons;
};
