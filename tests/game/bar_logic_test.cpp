// The button bar's and message panel's input logic, layout and clock text.
#include "game/logic/Bar.h"

#include <gtest/gtest.h>

namespace {

TEST(ButtonTest, EdgesAreInsideAndAClickNeedsPressAndReleaseInside) {
    Button b(3);
    b.left = 10, b.top = 20, b.right = 110, b.bottom = 70;
    EXPECT_TRUE(b.Contains(10, 20));
    EXPECT_TRUE(b.Contains(110, 70));
    EXPECT_FALSE(b.Contains(110.5f, 70));

    b.OnMouseDown(50, 50);
    b.OnMouseUp(150, 50); // released beside it
    EXPECT_FALSE(b.pressed);
    EXPECT_FALSE(b.TakeClick());

    b.OnMouseDown(150, 50); // pressed beside it
    b.OnMouseUp(50, 50);
    EXPECT_FALSE(b.TakeClick());

    b.OnMouseDown(50, 50);
    b.OnMouseUp(50, 50);
    b.OnMouseDown(50, 50);
    b.OnMouseUp(50, 50);
    EXPECT_TRUE(b.TakeClick());
    EXPECT_FALSE(b.TakeClick()) << "two clicks before a frame count as one";

    b.OnMouseMove(110, 20);
    EXPECT_TRUE(b.hover);
    b.OnMouseMove(111, 20);
    EXPECT_FALSE(b.hover);
}

TEST(ButtonBarTest, SlidesAtAFifthOfAPixelPerMillisecondAndLaysOutTheButtons) {
    ButtonBar bar;
    EXPECT_EQ(bar.buttons[0].top, 545.0f) << "laid out before the first frame";
    bar.ToggleVisible();
    bar.Update(0, 100);
    EXPECT_EQ(bar.slide, 40.0f);
    bar.Update(0, 1000);
    EXPECT_EQ(bar.slide, 0.0f);
    EXPECT_EQ(bar.buttons[2].top, 605.0f);
    EXPECT_EQ(bar.buttons[2].bottom, 655.0f);
    bar.ToggleVisible();
    bar.Update(0, 150);
    EXPECT_EQ(bar.slide, 30.0f);
    bar.Update(0, 5000);
    EXPECT_EQ(bar.slide, 60.0f);
    for (int i = 0; i < 5; ++i) {
        const Button& b = bar.buttons[i];
        EXPECT_EQ((std::vector<float>{float(b.id), b.left, b.right, b.top, b.bottom}),
                  (std::vector<float>{float(i), 250.0f + 110 * i, 350.0f + 110 * i, 545, 595}));
    }
}

TEST(ButtonBarTest, AreaTooltipAndClicks) {
    ButtonBar bar;
    EXPECT_TRUE(bar.OnMouseDown(0, 540));
    EXPECT_TRUE(bar.OnMouseUp(800, 600));
    EXPECT_FALSE(bar.OnMouseDown(400, 539));
    bar.slide = 0;
    EXPECT_FALSE(bar.OnMouseDown(400, 599)) << "a hidden bar covers only the line y = 600";
    EXPECT_TRUE(bar.OnMouseDown(400, 600));

    ButtonBar shown;
    shown.OnMouseMove(360, 560); // button 1
    EXPECT_EQ(shown.tooltip, "Pokazuje puzzle półprzezroczyste tak, że widać to co jest pod spodem [Ctrl]");
    shown.OnMouseMove(795, 560); // past the last button
    EXPECT_EQ(shown.tooltip, "");
    shown.OnMouseMove(690, 545);
    EXPECT_EQ(shown.tooltip, "Pozwala wyłączyć grę [ESC]");

    shown.OnMouseDown(580, 560); // button 3
    shown.OnMouseUp(580, 560);
    EXPECT_FALSE(shown.TakeClick(2));
    EXPECT_TRUE(shown.TakeClick(3));
    EXPECT_FALSE(shown.TakeClick(3));
    EXPECT_FALSE(shown.TakeClick(7));
}

TEST(FormatClockTest, HoursMinutesSecondsWithAtLeastTwoDigits) {
    // 0, 1:02:03.5 and 100 hours are drawn in BoardDrawTest's bar.
    EXPECT_EQ(FormatClock(59999), "00:00:59");
    EXPECT_EQ(FormatClock(5000000ull * 3600000 + 61000), "5000000:01:01") << "64-bit arithmetic";
}

TEST(MessagePanelTest, KeysClickLikeTheMouse) {
    MessagePanel question(PANEL_QUESTION, "?");
    question.OnKeyDown(27);
    EXPECT_FALSE(question.TakeClick(0));
    EXPECT_TRUE(question.TakeClick(1));
    question.OnKeyDown(13);
    EXPECT_TRUE(question.TakeClick(0));
    question.OnKeyDown(32);
    EXPECT_TRUE(question.TakeClick(0));
    question.OnKeyDown(9);
    EXPECT_FALSE(question.TakeClick(0));
    EXPECT_FALSE(question.TakeClick(1));

    MessagePanel notice(PANEL_NOTICE, "!");
    notice.OnKeyDown(27);
    EXPECT_FALSE(notice.TakeClick(0)) << "Esc does not answer a notice";
    EXPECT_FALSE(notice.TakeClick(1));
    notice.OnMouseDown(450, 355);
    notice.OnMouseUp(450, 355);
    EXPECT_TRUE(notice.TakeClick(0));
}

} // namespace
