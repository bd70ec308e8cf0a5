// The game screen's input and frame step: picking, dragging, dropping, solving, the bar's and
// the panel's buttons, keys and scrolling.
#include "PlayFixture.h"

#include "platform/linux/Hooks.h"

#include <tuple>

namespace {

using PlayTest = PlayFixture;

TEST_F(PlayTest, DragSnapAndTheStackOrderAfterIt) {
    Place({Piece(0, 300, 200), Piece(4, 900, 900), Piece(1, 600, 300), Piece(2, 1000, 200)});
    m_game->OnMouseDown(650, 340, 0); // piece 1 at offset (50, 40)
    ASSERT_TRUE(View().dragging);
    EXPECT_EQ(Order(), (std::vector<int>{0, 4, 2, 1}));
    EXPECT_EQ(std::pair(View().dragOffsetX, View().dragOffsetY), std::pair(50.0f, 40.0f));

    m_game->SetCursor(455, 246); // piece 1 follows to (405, 206): 5 and 6 off its place beside piece 0
    m_game->Update(1000, 16);
    EXPECT_EQ(std::pair(Pieces().back().x, Pieces().back().y), std::pair(405.0f, 206.0f));

    m_game->OnMouseUp(455, 246, 0);
    EXPECT_FALSE(View().dragging);
    EXPECT_EQ(Order(), (std::vector<int>{1, 0, 4, 2})) << "dropped piece first, its neighbour second";
    EXPECT_EQ(std::pair(Pieces()[0].x, Pieces()[0].y), std::pair(400.0f, 200.0f));
    EXPECT_TRUE(Pieces()[0].joined == 1 && Pieces()[1].joined == 1);
    EXPECT_FALSE(m_game->IsSolved());
}

TEST_F(PlayTest, ADropThatDoesNotSnapClearsOnlyTheDroppedMark) {
    Place({Piece(0, 300, 200, 1), Piece(1, 400, 200, 1)});
    m_game->OnMouseDown(450, 240, 0);
    m_game->SetCursor(700, 300);
    m_game->Update(1000, 16);
    m_game->OnMouseUp(700, 240, 0);
    EXPECT_EQ(Order(), (std::vector<int>{0, 1}));
    EXPECT_EQ(Pieces()[1].joined, 0);
    EXPECT_EQ(Pieces()[0].joined, 1);
}

TEST_F(PlayTest, DraggedPieceStaysOnTheBoard) {
    Place({Piece(2, 100, 100)});
    m_game->OnMouseDown(150, 140, 0);
    m_game->SetCursor(10, 30);
    m_game->Update(1000, 0);
    EXPECT_EQ(std::pair(Pieces()[0].x, Pieces()[0].y), std::pair(0.0f, 0.0f));
    m_game->GetBoard().boardWidth = 700;
    m_game->SetCursor(790, 30);
    m_game->Update(1000, 0);
    EXPECT_EQ(Pieces()[0].x, 700.0f - 110) << "the last column is 110 wide";
}

TEST_F(PlayTest, SolvedOnlyAfterASnappingDropThenTheFlash) {
    layer::SetTickSource([] { return DWORD(50000); });
    // Every piece lies within 5 pixels of its place, but piece 2 is 10 off both its neighbours
    // (1 and 5), so dropping it where it is snaps to nothing.
    Place({Piece(3, 100, 180), Piece(4, 200, 180), Piece(5, 300, 180), Piece(0, 100, 100), Piece(1, 205, 100),
           Piece(2, 295, 100)});
    Pieces()[2].x = 305; // piece 5, below piece 2, also 10 off it
    m_game->OnMouseDown(350, 140, 0);
    m_game->OnMouseUp(350, 140, 0);
    EXPECT_EQ(Pieces().back().number, 2);
    EXPECT_FALSE(m_game->IsSolved()) << "no snap, no solved test";

    m_game->OnMouseDown(255, 140, 0); // piece 1, dropped where it is: snaps to piece 4 below it
    m_game->OnMouseUp(255, 140, 0);
    EXPECT_EQ(Order(), (std::vector<int>{1, 4, 3, 5, 0, 2}));
    EXPECT_EQ(Pieces()[0].x, 200.0f);
    EXPECT_TRUE(m_game->IsSolved());
    EXPECT_EQ(m_game->FlashStart(), 50000u);

    m_game->GetBoard().playTime = 7000;
    m_game->Update(51000, 16);
    EXPECT_EQ(m_game->GetBoard().playTime, 7000u) << "the clock stands";
    EXPECT_EQ(m_device->GammaRampCalls(), 1);
    EXPECT_EQ(m_device->GammaRampFlags(), DWORD(D3DSGR_NO_CALIBRATION));
    EXPECT_EQ(m_device->GammaRamp().red[0], 85 * 257);
    m_game->Update(53000, 16);
    EXPECT_EQ(m_game->FlashStart(), 50000u) << "3000 ms is still the flash";
    m_game->Update(53001, 16);
    EXPECT_EQ(m_game->FlashStart(), 0u);
    EXPECT_EQ(m_device->GammaRampFlags(), DWORD(D3DSGR_CALIBRATE));
    EXPECT_EQ(m_device->GammaRamp().green[7], 7 * 257);
    int calls = m_device->GammaRampCalls();
    m_game->Update(54000, 16);
    EXPECT_EQ(m_device->GammaRampCalls(), calls);

    m_game->OnMouseDown(150, 220, 0);
    EXPECT_FALSE(View().dragging) << "a solved puzzle cannot be picked up";
    layer::SetTickSource(nullptr);
}

TEST_F(PlayTest, ReleaseOverTheBarKeepsTheDrag) {
    Place({Piece(0, 300, 200)});
    m_game->OnMouseDown(350, 240, 0);
    m_game->OnMouseUp(100, 570, 0);
    EXPECT_TRUE(View().dragging);
    m_game->OnMouseUp(100, 530, 0);
    EXPECT_FALSE(View().dragging);
}

// A drag that left the window ends with a left release outside it, whatever the release reaches
// (the bar, the preview, a panel): the piece stays where it was last shown, out of hand.
TEST_F(PlayTest, ALeftReleaseOutsideTheWindowAlwaysDrops) {
    const struct {
        const char* name;
        uint32_t key; // pressed before the release; 0 none
        uint32_t x, y;
    } cases[] = {{"below, under the bar", 0, 400, 650},
                 {"left, with the preview", VK_TAB, 0xFFE2, 300},
                 {"right, under a panel", VK_ESCAPE, 900, 300}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Place({Piece(2, 100, 100, 1)});
        m_game->OnMouseDown(150, 140, 0);
        m_game->SetCursor(400, 599); // held to the window's edge, on the bar
        m_game->Update(1000, 0);
        if (c.key != 0)
            m_game->OnKeyDown(c.key);
        m_game->OnMouseUp(c.x, c.y, 2);
        EXPECT_TRUE(View().dragging) << "only the left button drops";
        m_game->OnMouseUp(c.x, c.y, 0);
        EXPECT_FALSE(View().dragging);
        m_game->GetPanel().reset();
        m_game->OnKeyUp(c.key);
        m_game->SetCursor(10, 10);
        m_game->Update(1016, 0);
        EXPECT_EQ(std::tuple(Pieces()[0].x, Pieces()[0].y, Pieces()[0].joined),
                  std::tuple(350.0f, 559.0f, 0));
    }
}

TEST_F(PlayTest, RightAndMiddleButtonsClickBarButtonsButNeverPick) {
    Place({Piece(0, 300, 200, 1), Piece(1, 300, 200), Piece(2, 300, 200)});
    m_game->OnMouseDown(310, 210, 2);
    m_game->OnMouseDown(310, 210, 1);
    EXPECT_FALSE(View().dragging);
    Click(300, 570, 2); // bar button 0: raise loose pieces
    EXPECT_EQ(Order(), (std::vector<int>{0, 1, 2}));
    m_game->Update(1000, 16);
    EXPECT_EQ(Order(), (std::vector<int>{0, 2, 1}));
}

TEST_F(PlayTest, ShiftRaisesAtEveryRepeatAndTheDraggedPieceStaysOnTop) {
    Place({Piece(0, 300, 200), Piece(1, 600, 200), Piece(2, 900, 200), Piece(3, 1200, 200)});
    m_game->OnMouseDown(650, 240, 0);
    m_game->OnKeyDown(VK_SHIFT);
    EXPECT_EQ(Order(), (std::vector<int>{3, 2, 0, 1}));
    m_game->OnKeyDown(VK_SHIFT);
    EXPECT_EQ(Order(), (std::vector<int>{0, 2, 3, 1}));
}

TEST_F(PlayTest, HeldBarButtonsAndKeysSetTheViewFlags) {
    m_game->OnMouseDown(410, 570, 0); // button 1, held
    m_game->Update(1000, 16);
    EXPECT_TRUE(View().seeThroughToggle);
    m_game->OnMouseUp(410, 570, 0);
    m_game->Update(1016, 16);
    EXPECT_FALSE(View().seeThroughToggle);

    m_game->OnKeyDown(VK_CONTROL);
    m_game->OnKeyDown(VK_TAB);
    m_game->OnKeyDown(VK_LEFT);
    EXPECT_TRUE(View().keyCtrl && View().keyTab && View().keyLeft);
    EXPECT_EQ(m_game->GetClearColor(), 0xFFFFFFFFu);
    Place({Piece(0, 300, 200)});
    m_game->OnMouseDown(350, 240, 0);
    EXPECT_FALSE(View().dragging) << "the preview lets the mouse reach only the bar";
    m_game->OnKeyUp(VK_CONTROL);
    m_game->OnKeyUp(VK_TAB);
    m_game->OnKeyUp(VK_LEFT);
    EXPECT_FALSE(View().keyCtrl || View().keyTab || View().keyLeft);
    EXPECT_EQ(m_game->GetClearColor(), 0xFF000000u);

    m_game->OnKeyDown(VK_SPACE);
    m_game->Update(2000, 300);
    EXPECT_EQ(m_game->GetBar().slide, 0.0f);
}

TEST_F(PlayTest, ScrollingByCursorAndKeysWithinTheBoardAndBar) {
    View().scrollX = View().scrollY = 500;
    MoveCursor(0, 599);
    m_game->Update(1000, 100);
    EXPECT_EQ(std::pair(View().scrollX, View().scrollY), std::pair(400.0f, 600.0f));
    m_game->Update(1000, 5000);
    EXPECT_EQ(std::pair(View().scrollX, View().scrollY), std::pair(0.0f, 1500.0f + 60 - 600));

    MoveCursor(400, 300);
    m_game->OnKeyDown(VK_SPACE); // hide the bar: the range shrinks as it slides away
    m_game->Update(1000, 500);
    EXPECT_EQ(View().scrollY, 1500.0f - 600);
    m_game->OnKeyDown(VK_RIGHT);
    m_game->OnKeyDown(VK_UP);
    m_game->Update(1000, 10);
    EXPECT_EQ(std::pair(View().scrollX, View().scrollY), std::pair(10.0f, 890.0f));
}

TEST_F(PlayTest, EscTwiceAsksAndAnswersNo) {
    m_game->OnKeyDown(VK_ESCAPE);
    ASSERT_NE(m_game->GetPanel(), nullptr);
    EXPECT_EQ(m_game->GetPanel()->kind, PANEL_QUESTION);
    EXPECT_EQ(m_game->GetPanel()->text, "Czy na pewno chcesz wyjść?");
    m_game->OnKeyDown(VK_ESCAPE);
    m_game->Update(1000, 16);
    EXPECT_EQ(m_game->GetPanel(), nullptr);
    EXPECT_EQ(m_game->GetNextScreen(), SCREEN_STAY);

    Click(690, 570); // bar button 4, then the yes button
    m_game->Update(1016, 16);
    ASSERT_NE(m_game->GetPanel(), nullptr);
    Click(300, 330);
    m_game->Update(1032, 16);
    EXPECT_TRUE(m_game->GetNextScreen() == SCREEN_QUIT);
    EXPECT_NE(m_game->GetPanel(), nullptr) << "the question stays until the screen ends";
    EXPECT_EQ(m_game->GetNextScreen(), SCREEN_QUIT);
}

TEST_F(PlayTest, APanelTakesAllInputAndStopsTheBoard) {
    Place({Piece(0, 300, 200)});
    m_game->OnKeyDown(VK_TAB);
    m_game->OnKeyDown(VK_ESCAPE); // the preview does not stop the question
    m_game->OnKeyUp(VK_TAB);
    EXPECT_TRUE(View().keyTab) << "key releases are ignored while a panel is shown";
    m_game->OnKeyDown(VK_LEFT);
    EXPECT_FALSE(View().keyLeft);
    m_game->OnKeyDown(VK_SHIFT);
    m_game->OnKeyDown(VK_SPACE); // clicks the first button instead of hiding the bar
    EXPECT_TRUE(m_game->GetBar().visible);
    EXPECT_TRUE(m_game->GetPanel()->buttons[0]->clicked);
    m_game->GetPanel()->buttons[0]->clicked = false;

    View().scrollX = View().scrollY = 500;
    MoveCursor(0, 0);
    m_game->OnMouseMove(300, 330);
    EXPECT_TRUE(m_game->GetPanel()->buttons[0]->hover);
    EXPECT_EQ(m_game->GetBar().tooltip, "");
    Click(300, 570); // on bar button 0: the panel takes it
    m_game->Update(1000, 100);
    EXPECT_FALSE(m_game->GetBar().buttons[0].clicked);
    EXPECT_EQ(m_game->GetBoard().playTime, 0u);
    EXPECT_EQ(std::pair(View().scrollX, View().scrollY), std::pair(500.0f, 500.0f));
    EXPECT_NE(m_game->GetPanel(), nullptr);

    m_game->OnMouseDown(350, 240, 0);
    EXPECT_FALSE(View().dragging);
}

TEST_F(PlayTest, ANoticeIsClosedByOkAndAQuestionReplacesIt) {
    m_game->GetPanel() = std::make_unique<MessagePanel>(PANEL_NOTICE, "Gra została zapisana");
    m_game->OnKeyDown(VK_ESCAPE);
    m_game->Update(1000, 16);
    ASSERT_NE(m_game->GetPanel(), nullptr) << "Esc does not answer a notice";
    m_game->OnKeyDown(VK_RETURN);
    m_game->Update(1016, 16);
    EXPECT_EQ(m_game->GetPanel(), nullptr);

    m_game->GetPanel() = std::make_unique<MessagePanel>(PANEL_NOTICE, "Gra została zapisana");
    m_game->AskQuit();
    ASSERT_NE(m_game->GetPanel(), nullptr);
    EXPECT_EQ(m_game->GetPanel()->kind, PANEL_QUESTION);
}

} // namespace
