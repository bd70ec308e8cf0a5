// Plain records of the board model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// One piece on the board; stored in saved games as a 12-byte record, fields in this order.
struct BoardPiece {
    float x;         // board x of the top-left corner of the piece's home cell
    float y;         // board y of that corner
    uint16_t number; // row * columns + column of the home cell
    uint8_t joined;  // 1 once the piece has been snapped to a neighbour
    uint8_t reserved;
};
static_assert(sizeof(BoardPiece) == 12);

// Picture pixels, 3 bytes a pixel (red, green, blue), rows top-down, each exactly 3 * width.
// The bytes are the image's own, or (for the decoded picture) memory it shares with whoever
// provided it; either is freed with the last image that holds it.
struct RgbImage {
    RgbImage() = default;
    RgbImage(int w, int h) : width(w), height(h), data(new uint8_t[static_cast<size_t>(w) * h * 3]) {}
    RgbImage(int w, int h, std::shared_ptr<uint8_t[]> bytes) : width(w), height(h), data(std::move(bytes)) {}

    int width = 0;
    int height = 0;
    std::shared_ptr<uint8_t[]> data;

    const uint8_t* Pixel(int x, int y) const { return data.get() + (static_cast<size_t>(y) * width + x) * 3; }
};
