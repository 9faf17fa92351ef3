// The vocabulary of the program's message dialogs: dialog types and their captions, the
// eleven buttons with captions and results, which buttons Enter and Esc press, the text
// Ctrl+C copies, and the text of the general error box. Window-free.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace forms {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Button kinds in the order they are laid out; the value is the bit of the kind in a set.
enum class TMsgDlgBtn {
    mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp
};
inline constexpr int kButtonKindCount = 11;

// A set of button kinds: bit n for kind n.
using TMsgDlgButtons = std::uint16_t;

constexpr TMsgDlgButtons ButtonBit(TMsgDlgBtn kind) noexcept
{
    return static_cast<TMsgDlgButtons>(1u << static_cast<unsigned>(kind));
}
constexpr TMsgDlgButtons operator|(TMsgDlgBtn a, TMsgDlgBtn b) noexcept { return ButtonBit(a) | ButtonBit(b); }
constexpr TMsgDlgButtons operator|(TMsgDlgButtons set, TMsgDlgBtn b) noexcept
{
    return static_cast<TMsgDlgButtons>(set | ButtonBit(b));
}
constexpr bool Contains(TMsgDlgButtons set, TMsgDlgBtn kind) noexcept { return (set & ButtonBit(kind)) != 0; }

// Modal results of the program's questions.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

struct ButtonKind {
    TMsgDlgBtn kind;
    const char* name;     // the button's object name
    const char* caption;  // "&" marks the mnemonic
    int modalResult;      // 0: the button does not close the dialog
};

const ButtonKind& ButtonKindOf(TMsgDlgBtn kind) noexcept;

// The kinds of a set in layout order.
std::vector<TMsgDlgBtn> ButtonsInOrder(TMsgDlgButtons set);

// The caption of a dialog of this type; mtCustom has none of its own (the application title).
std::optional<std::string> TypeCaption(TMsgDlgType type);
bool TypeHasIcon(TMsgDlgType type) noexcept;

// The caption a dialog shows: the application title with its own task-bar button or for
// mtCustom, else the type's caption.
std::string DialogCaption(TMsgDlgType type, bool taskbar, std::string_view applicationTitle);

// Enter presses OK, else Yes, else Retry; Esc presses Cancel, else No, else OK. None when
// the set lacks all of them.
std::optional<TMsgDlgBtn> DefaultButton(TMsgDlgButtons set) noexcept;
std::optional<TMsgDlgBtn> CancelButton(TMsgDlgButtons set) noexcept;

// A caption without its mnemonic marks: "&X" shows X, "&&" shows one "&".
std::string StripMnemonics(std::string_view caption);

// What Ctrl+C in a message dialog puts on the clipboard: divider, caption, divider, message,
// divider, the button captions (each followed by three spaces, mnemonics removed), divider,
// each followed by CR LF.
std::string MessageDialogCopyText(std::string_view caption, std::string_view message,
                                  const std::vector<std::string>& buttonCaptions);

// The text of the general error box: the message, with "." appended when its last
// character sorts above ".".
std::string ErrorDisplayMessage(std::string_view message);

}  // namespace forms
