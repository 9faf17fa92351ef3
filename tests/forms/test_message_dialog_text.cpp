#include "forms/MessageDialogText.h"

#include <gtest/gtest.h>

using namespace forms;

TEST(VistaMessage, ElevenButtonsInTableOrderWithCaptionsAndResults)
{
    struct Expected {
        const char* name;
        const char* caption;
        int result;
    };
    const Expected expected[] = {
        {"Yes", "はい(&Y)", 6},          {"No", "いいえ(&N)", 7},         {"OK", "OK", 1},
        {"Cancel", "キャンセル", 2},     {"Abort", "中止(&A)", 3},        {"Retry", "再試行(&R)", 4},
        {"Ignore", "無視(&I)", 5},       {"All", "すべて(&A)", 8},        {"NoToAll", "すべていいえ(&O)", 9},
        {"YesToAll", "すべてはい(&A)", 10}, {"Help", "ヘルプ(&H)", 0},
    };
    const std::vector<TMsgDlgBtn> all = ButtonsInOrder(0x07FF);
    ASSERT_EQ(all.size(), 11u);
    for (std::size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(static_cast<std::size_t>(all[i]), i);
        EXPECT_STREQ(ButtonKindOf(all[i]).name, expected[i].name);
        EXPECT_STREQ(ButtonKindOf(all[i]).caption, expected[i].caption);
        EXPECT_EQ(ButtonKindOf(all[i]).modalResult, expected[i].result);
    }
    // Bits above the eleven kinds are ignored; the order is the table's, not the caller's.
    EXPECT_EQ(ButtonsInOrder(0xF000).size(), 0u);
    EXPECT_EQ(ButtonsInOrder(TMsgDlgBtn::mbCancel | TMsgDlgBtn::mbYes),
              (std::vector<TMsgDlgBtn>{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbCancel}));
    EXPECT_EQ(ButtonBit(TMsgDlgBtn::mbHelp), 0x0400);
}

TEST(VistaMessage, EnterAndEscapeButtonsForEachSet)
{
    using B = TMsgDlgBtn;
    const TMsgDlgButtons yesNoCancel = B::mbYes | B::mbNo | B::mbCancel;
    EXPECT_EQ(DefaultButton(yesNoCancel), B::mbYes);
    EXPECT_EQ(CancelButton(yesNoCancel), B::mbCancel);
    EXPECT_EQ(DefaultButton(B::mbYes | B::mbNo), B::mbYes);
    EXPECT_EQ(CancelButton(B::mbYes | B::mbNo), B::mbNo);
    EXPECT_EQ(DefaultButton(B::mbOK | B::mbCancel), B::mbOK);
    EXPECT_EQ(CancelButton(B::mbOK | B::mbCancel), B::mbCancel);
    EXPECT_EQ(DefaultButton(ButtonBit(B::mbOK)), B::mbOK);
    EXPECT_EQ(CancelButton(ButtonBit(B::mbOK)), B::mbOK);
    EXPECT_EQ(DefaultButton(B::mbOK | B::mbYes), B::mbOK);
    EXPECT_EQ(DefaultButton(B::mbAbort | B::mbRetry | B::mbIgnore), B::mbRetry);
    EXPECT_EQ(CancelButton(B::mbAbort | B::mbRetry | B::mbIgnore), std::nullopt);
    EXPECT_EQ(DefaultButton(ButtonBit(B::mbHelp)), std::nullopt);
}

TEST(VistaMessage, CaptionsByTypeAndTaskBar)
{
    EXPECT_EQ(DialogCaption(TMsgDlgType::mtWarning, false, "ヴェルモラ"), "警告");
    EXPECT_EQ(DialogCaption(TMsgDlgType::mtError, false, "ヴェルモラ"), "エラー");
    EXPECT_EQ(DialogCaption(TMsgDlgType::mtInformation, false, "ヴェルモラ"), "情報");
    EXPECT_EQ(DialogCaption(TMsgDlgType::mtConfirmation, false, "ヴェルモラ"), "確認");
    EXPECT_EQ(DialogCaption(TMsgDlgType::mtCustom, false, "ヴェルモラ"), "ヴェルモラ");
    EXPECT_EQ(DialogCaption(TMsgDlgType::mtConfirmation, true, "ヴェルモラ"), "ヴェルモラ");
    EXPECT_EQ(DialogCaption(TMsgDlgType::mtWarning, true, "ヴェルモラ"), "ヴェルモラ");
    EXPECT_TRUE(TypeHasIcon(TMsgDlgType::mtWarning));
    EXPECT_FALSE(TypeHasIcon(TMsgDlgType::mtCustom));
}

TEST(VistaMessage, MnemonicMarksAreRemovedLikeALabelShowsThem)
{
    EXPECT_EQ(StripMnemonics("はい(&Y)"), "はい(Y)");
    EXPECT_EQ(StripMnemonics("OK"), "OK");
    EXPECT_EQ(StripMnemonics("A&&B"), "A&B");
    EXPECT_EQ(StripMnemonics("end&"), "end");
    EXPECT_EQ(StripMnemonics("&すべて"), "すべて");
}

TEST(VistaMessage, CopyTextIsByteExact)
{
    const std::string text = MessageDialogCopyText(
        "警告", "ファイル a.trm の内容は変更されています。\r変更を保存しますか？",
        {"はい(&Y)", "いいえ(&N)", "キャンセル"});
    const std::string divider = "---------------------------\r\n";
    EXPECT_EQ(divider.size(), 29u);
    EXPECT_EQ(text, divider + "警告\r\n" + divider +
                        "ファイル a.trm の内容は変更されています。\r変更を保存しますか？\r\n" + divider +
                        "はい(Y)   いいえ(N)   キャンセル   \r\n" + divider);
    EXPECT_EQ(MessageDialogCopyText("", "", {}), divider + "\r\n" + divider + "\r\n" + divider + "\r\n" + divider);
}

TEST(VistaMessage, ErrorTextGetsAFullStopWhenItsLastCharacterSortsAboveIt)
{
    EXPECT_EQ(ErrorDisplayMessage("ファイル /tmp/a.trm は開けません"), "ファイル /tmp/a.trm は開けません.");
    EXPECT_EQ(ErrorDisplayMessage("終わり。"), "終わり。.");  // every double-byte ending gets it
    EXPECT_EQ(ErrorDisplayMessage("abc"), "abc.");
    EXPECT_EQ(ErrorDisplayMessage("path/"), "path/.");  // "/" sorts right after "."
    EXPECT_EQ(ErrorDisplayMessage("done."), "done.");
    EXPECT_EQ(ErrorDisplayMessage("what?"), "what?.");  // "?" sorts above "."
    EXPECT_EQ(ErrorDisplayMessage("stop!"), "stop!");
    EXPECT_EQ(ErrorDisplayMessage("(x)"), "(x)");
    EXPECT_EQ(ErrorDisplayMessage("a-"), "a-");
    EXPECT_EQ(ErrorDisplayMessage(""), "");
    EXPECT_EQ(ErrorDisplayMessage("emoji \xF0\x9F\x98\x80"), "emoji \xF0\x9F\x98\x80.");
}
