#include "forms/MessageDialogText.h"

#include <array>

namespace forms {
namespace {

constexpr std::array<ButtonKind, kButtonKindCount> kButtonKinds{{
    {TMsgDlgBtn::mbYes, "Yes", "はい(&Y)", 6},
    {TMsgDlgBtn::mbNo, "No", "いいえ(&N)", 7},
    {TMsgDlgBtn::mbOK, "OK", "OK", 1},
    {TMsgDlgBtn::mbCancel, "Cancel", "キャンセル", 2},
    {TMsgDlgBtn::mbAbort, "Abort", "中止(&A)", 3},
    {TMsgDlgBtn::mbRetry, "Retry", "再試行(&R)", 4},
    {TMsgDlgBtn::mbIgnore, "Ignore", "無視(&I)", 5},
    {TMsgDlgBtn::mbAll, "All", "すべて(&A)", 8},
    {TMsgDlgBtn::mbNoToAll, "NoToAll", "すべていいえ(&O)", 9},
    {TMsgDlgBtn::mbYesToAll, "YesToAll", "すべてはい(&A)", 10},
    {TMsgDlgBtn::mbHelp, "Help", "ヘルプ(&H)", 0},
}};

constexpr std::string_view kDivider = "---------------------------";
constexpr std::string_view kLineBreak = "\r\n";

// The code point of the last UTF-8 character of a non-empty text; a stray continuation
// byte counts as a character of its own.
char32_t LastCodePoint(std::string_view text)
{
    std::size_t start = text.size() - 1;
    while (start > 0 && text.size() - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
        --start;
    const auto lead = static_cast<unsigned char>(text[start]);
    if (lead < 0x80)
        return lead;
    char32_t value = lead & (lead >= 0xF0 ? 0x07 : lead >= 0xE0 ? 0x0F : 0x1F);
    for (std::size_t i = start + 1; i < text.size(); ++i)
        value = (value << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    return value;
}

}  // namespace

const ButtonKind& ButtonKindOf(TMsgDlgBtn kind) noexcept
{
    return kButtonKinds[static_cast<std::size_t>(kind)];
}

std::vector<TMsgDlgBtn> ButtonsInOrder(TMsgDlgButtons set)
{
    std::vector<TMsgDlgBtn> kinds;
    for (const ButtonKind& button : kButtonKinds)
        if (Contains(set, button.kind))
            kinds.push_back(button.kind);
    return kinds;
}

std::optional<std::string> TypeCaption(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning: return "警告";
    case TMsgDlgType::mtError: return "エラー";
    case TMsgDlgType::mtInformation: return "情報";
    case TMsgDlgType::mtConfirmation: return "確認";
    case TMsgDlgType::mtCustom: break;
    }
    return std::nullopt;
}

bool TypeHasIcon(TMsgDlgType type) noexcept { return type != TMsgDlgType::mtCustom; }

std::string DialogCaption(TMsgDlgType type, bool taskbar, std::string_view applicationTitle)
{
    std::optional<std::string> own = TypeCaption(type);
    if (taskbar || !own)
        return std::string(applicationTitle);
    return *own;
}

std::optional<TMsgDlgBtn> DefaultButton(TMsgDlgButtons set) noexcept
{
    for (TMsgDlgBtn kind : {TMsgDlgBtn::mbOK, TMsgDlgBtn::mbYes, TMsgDlgBtn::mbRetry})
        if (Contains(set, kind))
            return kind;
    return std::nullopt;
}

std::optional<TMsgDlgBtn> CancelButton(TMsgDlgButtons set) noexcept
{
    for (TMsgDlgBtn kind : {TMsgDlgBtn::mbCancel, TMsgDlgBtn::mbNo, TMsgDlgBtn::mbOK})
        if (Contains(set, kind))
            return kind;
    return std::nullopt;
}

std::string StripMnemonics(std::string_view caption)
{
    std::string shown;
    shown.reserve(caption.size());
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size())
            ++i;
        else if (caption[i] == '&')
            continue;
        shown += caption[i];
    }
    return shown;
}

std::string MessageDialogCopyText(std::string_view caption, std::string_view message,
                                  const std::vector<std::string>& buttonCaptions)
{
    std::string text;
    auto line = [&text](std::string_view part) {
        text += part;
        text += kLineBreak;
    };
    line(kDivider);
    line(caption);
    line(kDivider);
    line(message);
    line(kDivider);
    for (const std::string& buttonCaption : buttonCaptions) {
        text += StripMnemonics(buttonCaption);
        text += "   ";
    }
    text += kLineBreak;
    line(kDivider);
    return text;
}

std::string ErrorDisplayMessage(std::string_view message)
{
    std::string shown(message);
    if (!message.empty() && LastCodePoint(message) > U'.')
        shown += '.';
    return shown;
}

}  // namespace forms
