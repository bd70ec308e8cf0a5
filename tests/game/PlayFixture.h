// A game screen on a hand-made 3 x 2 board (cells 100 x 80, the last column 110 wide) drawn
// through the recording device, with the shared graphics' buttons texture and font.
#pragma once

#include "framework/Gfx.h"
#include "game/Game.h"
#include "platform/test/RecordingDevice.h"
#include "tests/game/TestBoard.h"

#include <gtest/gtest.h>

#include <vector>

class PlayFixture : public testing::Test {
  protected:
    void SetUp() override {
        m_device = new CRecordingDevice();
        m_gfx = CGfx(m_device);
        m_device->CreateTexture(512, 512, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &m_gfx.buttonsTexture,
                                nullptr);
        CreateBoldVerdana(m_device, 16, EASTEUROPE_CHARSET, &m_gfx.textFont);

        m_game = new CGame(nullptr, m_device, &m_gfx);
        m_game->SetCursor(400, 300);
        Board& b = m_game->GetBoard();
        b = ThreeByTwoBoard();
        b.atlasSize = 512;
        b.atlasNeedWidth = 360;
        b.atlasNeedHeight = 180;
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
        m_game->SetCursor(x, y);
        m_game->OnMouseMove(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    }

    CRecordingDevice* m_device = nullptr;
    CGfx m_gfx;
    CGame* m_game = nullptr;
};

inline BoardPiece Piece(uint16_t number, float x, float y, uint8_t joined = 0) {
    return BoardPiece{x, y, number, joined, 0};
}
