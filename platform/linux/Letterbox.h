// Where the fixed client frame (for example 800 x 600) lies inside a window drawable of
// another size: scaled as large as fits with its aspect kept, centred, bars around it.
// The OpenGL device presents into this rectangle and the message layer maps mouse positions
// back through it, so both always agree.
#pragma once

#include <algorithm>
#include <cmath>

namespace layer {

struct Letterbox {
    int x = 0, y = 0, width = 0, height = 0; // in drawable pixels, origin top-left

    static Letterbox Fit(int clientWidth, int clientHeight, int drawableWidth, int drawableHeight) {
        Letterbox box;
        if (clientWidth <= 0 || clientHeight <= 0 || drawableWidth <= 0 || drawableHeight <= 0)
            return box;
        double scale = std::min(double(drawableWidth) / clientWidth, double(drawableHeight) / clientHeight);
        box.width = std::max(1, int(std::lround(clientWidth * scale)));
        box.height = std::max(1, int(std::lround(clientHeight * scale)));
        box.x = (drawableWidth - box.width) / 2;
        box.y = (drawableHeight - box.height) / 2;
        return box;
    }

    // Drawable pixel -> client pixel, clamped to the client area.
    void ToClient(int clientWidth, int clientHeight, int px, int py, int& cx, int& cy) const {
        if (width <= 0 || height <= 0) {
            cx = px, cy = py;
            return;
        }
        cx = int(std::floor((px - x) * double(clientWidth) / width));
        cy = int(std::floor((py - y) * double(clientHeight) / height));
        cx = std::clamp(cx, 0, clientWidth - 1);
        cy = std::clamp(cy, 0, clientHeight - 1);
    }
};

} // namespace layer
