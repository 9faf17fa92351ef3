#include "forms/MessageDialogLayout.h"

#include <gtest/gtest.h>

using namespace forms;

TEST(VistaLayout, MulDivRoundsHalvesAwayFromZeroAndRefusesZeroDivisor)
{
    EXPECT_EQ(MulDiv(8, 7, 4), 14);
    EXPECT_EQ(MulDiv(10, 7, 4), 18);   // 17.5
    EXPECT_EQ(MulDiv(10, 5, 4), 13);   // 12.5
    EXPECT_EQ(MulDiv(14, 13, 8), 23);  // 22.75
    EXPECT_EQ(MulDiv(8, 13, 8), 13);
    EXPECT_EQ(MulDiv(-10, 5, 4), -13);
    EXPECT_EQ(MulDiv(10, 5, -4), -13);
    EXPECT_EQ(MulDiv(1, 1, 3), 0);
    EXPECT_EQ(MulDiv(2, 1, 3), 1);
    EXPECT_EQ(MulDiv(1, 2, 0), -1);
    EXPECT_EQ(MulDiv(1 << 30, 4, 2), -1);  // does not fit: -1, as on overflow
    EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000);  // the product needs 64 bits
}

TEST(VistaLayout, DialogUnitsTruncateTheAverageLetterWidth)
{
    EXPECT_EQ(DialogUnitsFrom(363, 15).x, 6);  // 6.98
    EXPECT_EQ(DialogUnitsFrom(364, 15).x, 7);
    EXPECT_EQ(DialogUnitsFrom(364, 15).y, 15);
    EXPECT_EQ(DialogUnitsFrom(51, 10).x, 0);
}

TEST(VistaLayout, MetricsFollowTheDialogUnits)
{
    const MessageMetrics m = MetricsFor(DialogUnits{7, 13});
    EXPECT_EQ(m.horizontalMargin, 14);
    EXPECT_EQ(m.verticalMargin, 13);
    EXPECT_EQ(m.horizontalSpacing, 18);  // 17.5
    EXPECT_EQ(m.verticalSpacing, 16);    // 16.25
    EXPECT_EQ(m.minimumButtonWidth, 88); // 87.5
    EXPECT_EQ(m.buttonHeight, 23);       // 22.75
    EXPECT_EQ(m.buttonSpacing, 7);
}

TEST(VistaLayout, OneOkButtonWithIconKeepsMinimumsAndCentresTheRow)
{
    MessageMeasures in;
    in.units = DialogUnits{7, 13};
    in.captionWidths = {15};  // "OK" + 8 is far below the minimum width
    in.textWidth = 40;
    in.textHeight = 13;
    in.hasIcon = true;
    const MessageLayout out = LayOutMessageDialog(in);

    EXPECT_EQ(out.buttonWidth, 88);
    // icon and text: 40 + 32 + 18 = 90 wide, at least 32 high
    EXPECT_EQ(out.clientWidth, 90 + 2 * 14);
    EXPECT_EQ(out.clientHeight, 32 + 23 + 16 + 2 * 13);
    EXPECT_EQ(out.icon, (Rect{14, 13, 32, 32}));
    EXPECT_EQ(out.text, (Rect{90 - 40 + 14, 13, 40, 13}));
    ASSERT_EQ(out.buttons.size(), 1u);
    EXPECT_EQ(out.buttons[0], (Rect{(118 - 88) / 2, 32 + 13 + 16, 88, 23}));
}

TEST(VistaLayout, ButtonRowWiderThanTextSetsTheWidthAndWideCaptionsWidenEveryButton)
{
    MessageMeasures in;
    in.units = DialogUnits{7, 13};
    in.captionWidths = {50, 95, 60};  // the widest caption + 8 beats the minimum of 88
    in.textWidth = 20;
    in.textHeight = 39;
    in.hasIcon = false;
    const MessageLayout out = LayOutMessageDialog(in);

    EXPECT_EQ(out.buttonWidth, 103);
    const int row = 3 * 103 + 2 * 7;
    EXPECT_EQ(out.clientWidth, row + 28);
    EXPECT_EQ(out.clientHeight, 39 + 23 + 16 + 26);
    EXPECT_EQ(out.icon, Rect{});
    EXPECT_EQ(out.text.left, 14);  // no icon: at the margin
    ASSERT_EQ(out.buttons.size(), 3u);
    EXPECT_EQ(out.buttons[0].left, 14);
    EXPECT_EQ(out.buttons[1].left, 14 + 103 + 7);
    EXPECT_EQ(out.buttons[2].left, 14 + 2 * (103 + 7));
    EXPECT_EQ(out.buttons[2].top, 39 + 13 + 16);
}

TEST(VistaLayout, RightToLeftMirrorsOnlyTheText)
{
    MessageMeasures in;
    in.units = DialogUnits{7, 13};
    in.captionWidths = {15};
    in.textWidth = 200;
    in.textHeight = 26;
    in.hasIcon = true;
    const MessageLayout ltr = LayOutMessageDialog(in);
    in.rightToLeft = true;
    const MessageLayout rtl = LayOutMessageDialog(in);

    EXPECT_EQ(ltr.text.left, 32 + 18 + 14);
    EXPECT_EQ(rtl.text.left, rtl.clientWidth - ltr.text.left - 200);
    EXPECT_EQ(rtl.icon, ltr.icon);
    EXPECT_EQ(rtl.buttons, ltr.buttons);
}

TEST(VistaLayout, NoButtonsGiveNoRowAndCentringUsesIntegerHalves)
{
    MessageMeasures in;
    in.units = DialogUnits{6, 12};
    in.textWidth = 10;
    in.textHeight = 12;
    const MessageLayout out = LayOutMessageDialog(in);
    EXPECT_TRUE(out.buttons.empty());
    EXPECT_EQ(out.clientWidth, 10 + 2 * 12);

    EXPECT_EQ(CenteredPosition(1024, 768, 301, 151), (Point{512 - 150, 384 - 75}));
    EXPECT_EQ(MessageWrapWidth(1023), 511);
}
