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
        m_device = new CRecordingDevice();
        g_pDevice = m_device;
        g_pGfx = &m_gfx;
        g_cursorX = 400;
        g_cursorY = 300;
        m_device->CreateTexture(512, 512, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &m_gfx.buttonsTexture,
                                nullptr);
        LOGFONTA lf{};
        lf.lfHeight = 16;
        lf.lfWeight = FW_BOLD;
        lf.lfCharSet = EASTEUROPE_CHARSET;
        std::strcpy(lf.lfFaceName, "Verdana");
        D3DXCreateFontIndirect(m_device, &lf, &m_gfx.textFont);

        m_game = new CGame(nullptr, m_device);
        Board& b = m_game->GetBoard();
        b.columns = 3;
        b.rows = 2;
        b.areaWidth = 310;
        b.areaHeight = 160;
        b.cellWidth = 100;
        b.cellHeight = 80;
        b.pieceCount = 6;
        b.colStart = {0, 100, 200};
        b.rowStart = {0, 80};
        b.ownerMap.resize(310 * 160);
        for (int y = 0; y < 160; ++y)
            for (int x = 0; x < 310; ++x)
                b.ownerMap[y * 310 + x] = static_cast<uint16_t>((y >= 80) * 3 + (x >= 100) + (x >= 200));
        b.tabMap.assign(12, 0);
        b.atlasSize = 512;
        b.boardWidth = 2000;
        b.boardHeight = 1500;
        m_game->GetBar().shownCount = 6;
        m_device->CreateTexture(512, 512, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                &m_game->GetTextures().puzzle, nullptr);
        m_device->CreateTexture(512, 512, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                &m_game->GetTextures().thumbnail, nullptr);
    }

    void TearDown() override {
        delete m_game;
        m_gfx.textFont->Release();
        m_gfx.buttonsTexture->Release();
        m_gfx.textFont = nullptr;
        m_gfx.buttonsTexture = nullptr;
        g_pGfx = nullptr;
        g_pDevice = nullptr;
        EXPECT_EQ(m_device->Release(), 0u);
    }

    void Place(std::vector<BoardPiece> pieces) { m_game->GetBoard().pieces = std::move(pieces); }
    ViewState& View() { return m_game->GetView(); }
    std::vector<BoardPiece>& Pieces() { return m_game->GetBoard().pieces; }

    std::vector<int> Order() const {
        std::vector<int> out;
        for (const BoardPiece& p : m_game->GetBoard().pieces)
            out.push_back(p.number);
        return out;
    }

    void Click(uint32_t x, uint32_t y, int button = 0) {
        m_game->OnMouseDown(x, y, button);
        m_game->OnMouseUp(x, y, button);
    }

    void MoveCursor(int x, int y) {
        g_cursorX = x;
        g_cursorY = y;
        m_game->OnMouseMove(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    }

    CRecordingDevice* m_device = nullptr;
    CGfx m_gfx;
    CGame* m_game = nullptr;
};

inline BoardPiece Piece(uint16_t number, float x, float y, uint8_t joined = 0) {
    return BoardPiece{x, y, number, joined, 0};
}
