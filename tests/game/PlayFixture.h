// A game screen on a hand-made 3 x 2 board (cells 100 x 80, the last column 110 wide) drawn
// through the recording device, with the shared graphics' buttons texture and font.
#pragma once

#include "framework/Gfx.h"
#include "game/Game.h"
#include "platform/test/RecordingDevice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

class PlayFixture : public testing::Test {
  protected:
    void SetUp() override {
        device = new CRecordingDevice();
        g_pDevice = device;
        g_pGfx = &gfx;
        g_cursorX = 400;
        g_cursorY = 300;
        device->CreateTexture(512, 512, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &gfx.buttonsTexture, nullptr);
        LOGFONTA lf{};
        lf.lfHeight = 16;
        lf.lfWeight = FW_BOLD;
        lf.lfCharSet = EASTEUROPE_CHARSET;
        std::strcpy(lf.lfFaceName, "Verdana");
        D3DXCreateFontIndirect(device, &lf, &gfx.textFont);

        game = new CGame(nullptr, device);
        colStart = {0, 100, 200};
        rowStart = {0, 80};
        owner.resize(310 * 160);
        for (int y = 0; y < 160; ++y)
            for (int x = 0; x < 310; ++x)
                owner[y * 310 + x] = static_cast<uint16_t>((y >= 80) * 3 + (x >= 100) + (x >= 200));
        tabs.assign(12, 0);
        game->columns = 3;
        game->rows = 2;
        game->areaWidth = 310;
        game->areaHeight = 160;
        game->cellWidth = 100;
        game->cellHeight = 80;
        game->pieceCount = 6;
        game->colStart = colStart.data();
        game->rowStart = rowStart.data();
        game->ownerMap = owner.data();
        game->ownerMapWidth = 310;
        game->tabMap = tabs.data();
        game->tabMapWidth = 3;
        game->atlasSize = 512;
        game->boardWidth = 2000;
        game->boardHeight = 1500;
        game->buttonBar.shownCount = 6;
        device->CreateTexture(512, 512, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &game->puzzleTexture,
                              nullptr);
        device->CreateTexture(512, 512, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &game->thumbnailTexture,
                              nullptr);
    }

    void TearDown() override {
        // The arrays belong to the fixture; the textures are released here.
        game->colStart = game->rowStart = nullptr;
        game->ownerMap = nullptr;
        game->tabMap = nullptr;
        game->puzzleTexture->Release();
        game->thumbnailTexture->Release();
        game->puzzleTexture = game->thumbnailTexture = nullptr;
        delete game;
        gfx.textFont->Release();
        gfx.buttonsTexture->Release();
        gfx.textFont = nullptr;
        gfx.buttonsTexture = nullptr;
        g_pGfx = nullptr;
        g_pDevice = nullptr;
        EXPECT_EQ(device->Release(), 0u);
    }

    void Place(std::vector<BoardPiece> pieces) { game->pieces = std::move(pieces); }

    std::vector<int> Order() const {
        std::vector<int> out;
        for (const BoardPiece& p : game->pieces)
            out.push_back(p.number);
        return out;
    }

    void Click(uint32_t x, uint32_t y, int button = 0) {
        game->OnMouseDown(x, y, button);
        game->OnMouseUp(x, y, button);
    }

    void MoveCursor(int x, int y) {
        g_cursorX = x;
        g_cursorY = y;
        game->OnMouseMove(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    }

    CRecordingDevice* device = nullptr;
    CGfx gfx;
    CGame* game = nullptr;
    std::vector<int32_t> colStart, rowStart;
    std::vector<uint16_t> owner;
    std::vector<uint8_t> tabs;
};

inline BoardPiece Piece(uint16_t number, float x, float y, uint8_t joined = 0) {
    return BoardPiece{x, y, number, joined, 0};
}
