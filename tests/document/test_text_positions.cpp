#include "document/TextPositions.h"
#include "document/TVLNodeData.h"
#include "document/TrmFormat.h"
#include "platform/codepage.h"
#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace document;

namespace {

bool operator==(TextSelection a, TextSelection b) { return a.start == b.start && a.length == b.length; }

TextSelection Sel(std::int32_t start, std::int32_t length) { return {start, length}; }

// UTF-16 code units of UTF-8 text: one per character, two for those beyond the BMP.
std::int32_t Utf16Units(std::string_view utf8) {
    std::int32_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) != 0x80;
        units += byte >= 0xF0;
    }
    return units;
}

TEST(TextPositions, LineBreaksCountTwoStoredAndOneInTheEditor) {
    const std::string text = "ab\r\ncd\r\n";  // editor: "ab\ncd"
    EXPECT_EQ(EditorTextLength(text), 5);
    EXPECT_TRUE(EditorSelectionFromStored(text, 0, 0) == Sel(0, 0));
    EXPECT_TRUE(EditorSelectionFromStored(text, 4, 0) == Sel(3, 0));  // start of "cd"
    EXPECT_TRUE(EditorSelectionFromStored(text, 1, 4) == Sel(1, 3));  // "b\r\nc"
    EXPECT_TRUE(StoredSelectionFromEditor(text, 3, 0) == Sel(4, 0));
    EXPECT_TRUE(StoredSelectionFromEditor(text, 1, 3) == Sel(1, 4));
    EXPECT_TRUE(StoredSelectionFromEditor(text, 5, 0) == Sel(6, 0));

    // Every editor position comes back unchanged through the stored form.
    for (std::int32_t start = 0; start <= 5; ++start)
        for (std::int32_t length = 0; start + length <= 5; ++length) {
            const TextSelection stored = StoredSelectionFromEditor(text, start, length);
            EXPECT_TRUE(EditorSelectionFromStored(text, stored.start, stored.length) == Sel(start, length))
                << start << "+" << length;
        }
}

TEST(TextPositions, StoredCountsShiftJisBytesAndTheEditorUtf16Units) {
    TVLNodeData data;
    data.SetText("日本\nｱ🎌x");  // stored: 日 2, 本 2, CR LF 2, ｱ 1, 🎌 1 ("?"), x 1
    EXPECT_EQ(EditorTextLength(data.Text()), 7);  // editor: 日 本 LF ｱ 🎌 (2 units) x
    EXPECT_TRUE(EditorSelectionFromStored(data.Text(), 4, 5) == Sel(2, 5));
    EXPECT_TRUE(StoredSelectionFromEditor(data.Text(), 2, 5) == Sel(4, 5));
    EXPECT_TRUE(EditorSelectionFromStored(data.Text(), 7, 1) == Sel(4, 2));  // just the emoji
    EXPECT_TRUE(StoredSelectionFromEditor(data.Text(), 4, 2) == Sel(7, 1));
    // Inside a double-byte character (stored) or a surrogate pair (editor): its start.
    EXPECT_TRUE(EditorSelectionFromStored(data.Text(), 3, 2) == Sel(1, 1));
    EXPECT_TRUE(StoredSelectionFromEditor(data.Text(), 5, 0) == Sel(7, 0));
    EXPECT_TRUE(StoredSelectionFromEditor(data.Text(), 0, 5) == Sel(0, 7));
}

TEST(TextPositions, ValuesBeyondTheTextAreClamped) {
    const std::string text = "ab\r\ncd\r\n";
    // Inside the CR LF pair: the end of the line.
    EXPECT_TRUE(EditorSelectionFromStored(text, 3, 0) == Sel(2, 0));
    // Past the end (the final break is not part of the editor text).
    EXPECT_TRUE(EditorSelectionFromStored(text, 8, 0) == Sel(5, 0));
    EXPECT_TRUE(EditorSelectionFromStored(text, 1000, 50) == Sel(5, 0));
    EXPECT_TRUE(EditorSelectionFromStored(text, 4, 1000) == Sel(3, 2));
    EXPECT_TRUE(StoredSelectionFromEditor(text, 99, 1) == Sel(6, 0));
    EXPECT_TRUE(StoredSelectionFromEditor(text, 2, 99) == Sel(2, 4));
    // Negative values.
    EXPECT_TRUE(EditorSelectionFromStored(text, -7, 0) == Sel(0, 0));
    EXPECT_TRUE(EditorSelectionFromStored(text, 4, -3) == Sel(3, 0));
    EXPECT_TRUE(StoredSelectionFromEditor(text, -2, 4) == Sel(0, 2));
    // Extremes do not overflow.
    const std::int32_t max = std::numeric_limits<std::int32_t>::max();
    EXPECT_TRUE(EditorSelectionFromStored(text, max, max) == Sel(5, 0));
    EXPECT_TRUE(EditorSelectionFromStored(text, std::numeric_limits<std::int32_t>::min(), max) == Sel(0, 0));
    // An empty text has the single position 0.
    EXPECT_TRUE(EditorSelectionFromStored("", 3, 3) == Sel(0, 0));
    EXPECT_TRUE(StoredSelectionFromEditor("", 3, 3) == Sel(0, 0));
}

// A document whose positions count Shift_JIS bytes, as the Windows program writes them, opens
// with each caret where those bytes say, and saving it unchanged writes the same numbers.
TEST(TextPositions, DocumentCaretsCountShiftJisBytesAndSurviveARoundTrip) {
    struct Caret {
        const char* name;
        int selStart, selLength;  // in the file
        std::string before, selected;  // the editor text up to the caret, and the selection
    };
    TempFolder folder;
    for (const TDocumentEncoding encoding : {TDocumentEncoding::deUTF8, TDocumentEncoding::deShiftJIS}) {
        const bool utf8 = encoding == TDocumentEncoding::deUTF8;
        // Shift_JIS cannot hold the emoji: the Windows program has "?" there, counted the same.
        const std::string emoji = utf8 ? "🎌" : "?";
        const std::string line1 = "日本語のﾃｷｽﾄ", line2 = emoji + "と絵文字";
        const std::vector<Caret> carets = {
            {"ルート", 6, 0, "日本語", ""},                         // after kanji
            {"kana", 8, 2, "日本語の", "ﾃｷ"},                       // after kana, half-width selected
            {"half", 12, 2, line1, "\n"},                          // after half-width kana
            {"break", 14, 3, line1 + "\n", emoji + "と"},         // after a line break
            {"emoji", 15, 0, line1 + "\n" + emoji, ""},           // after the emoji
            {"end", 25, 3, line1 + "\n" + line2 + "\n", "end"},  // the last line
        };
        std::string nodes;
        for (std::size_t i = 1; i < carets.size(); ++i)
            nodes += "<node name=\"" + std::string(carets[i].name) + "\" expanded=\"no\" selstart=\"" +
                     std::to_string(carets[i].selStart) + "\" sellength=\"" + std::to_string(carets[i].selLength) +
                     (i == 4 ? "\" selected=\"yes\"" : "\"") + "><text>" + line1 + "\r\n" + line2 +
                     "\r\nend\r\n</text></node>";
        const std::string body = "<velmora><file version=\"2\" modified=\"2024/01/02 03:04:05\"/><node name=\"ルート\" "
                                 "expanded=\"yes\" selstart=\"6\" sellength=\"0\"><text>" + line1 +
                                 "\r\n</text>" + nodes + "</node></velmora>";
        const std::string file =
            utf8 ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body
                 : "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>" + platform::EncodeCp932(body).bytes + "\r\n";
        WriteBytes(folder.File("w.trm"), file);

        OpenedDocument doc = OpenDocument(folder.File("w.trm"));
        ASSERT_EQ(doc.encoding, encoding);
        ASSERT_EQ(doc.tree.Root().ChildCount(), carets.size() - 1);
        for (std::size_t i = 0; i < carets.size(); ++i) {
            TreeNode& node = i == 0 ? doc.tree.Root() : *doc.tree.Root().Child(i - 1);
            TVLNodeData& data = node.Data();
            const Caret& caret = carets[i];
            ASSERT_EQ(data.EditorText().substr(0, caret.before.size() + caret.selected.size()),
                      caret.before + caret.selected);
            const TextSelection editor = EditorSelectionFromStored(data.Text(), data.SelStart, data.SelLength);
            EXPECT_TRUE(editor == Sel(Utf16Units(caret.before), Utf16Units(caret.selected)))
                << caret.name << ": " << editor.start << "+" << editor.length;
            // What the window stores back from the editor when the node is left.
            const TextSelection stored = StoredSelectionFromEditor(data.Text(), editor.start, editor.length);
            data.SelStart = stored.start;
            data.SelLength = stored.length;
        }
        std::tm stamp{};
        stamp.tm_year = 124;
        stamp.tm_mday = 2;
        stamp.tm_hour = 3;
        stamp.tm_min = 4;
        stamp.tm_sec = 5;
        WriteDocument(folder.File("saved.trm"), doc.tree, doc.selected, doc.encoding, stamp);
        EXPECT_EQ(ReadBytes(folder.File("saved.trm")), file);
    }
}

// Over random texts: every character boundary maps to the Shift_JIS byte count and UTF-16
// count of the text before it, both ways, and a position inside a character goes to its start.
TEST(TextPositions, RandomTextsMapBoundariesBothWays) {
    // Long ASCII pieces, one with a line break inside, for the eight-byte steps over ASCII.
    const std::vector<std::string> pieces = {"a", "~", "\t", "\r\n", "日", "あ", "ー", "①", "〜", "ｱ", "｡",
                                             "ﾟ", "🎌", "é", "한", "\u00A0", "plain words", "two\r\nlines"};
    std::mt19937 rng(20240102);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        std::vector<std::int32_t> editor{0}, stored{0};
        std::vector<bool> oneCharacter;  // the piece after each boundary (CR LF is one)
        for (std::size_t n = rng() % 40; n > 0; --n) {
            const std::string& piece = pieces[rng() % pieces.size()];
            text += piece;
            oneCharacter.push_back(piece.size() <= 4);
            const bool breaks = piece.find('\r') != std::string::npos;  // one CR LF, one editor unit
            editor.push_back(editor.back() + Utf16Units(piece) - (breaks ? 1 : 0));
            stored.push_back(stored.back() + static_cast<std::int32_t>(platform::EncodeCp932(piece).bytes.size()));
        }
        const std::string nodeText = text + "\r\n";
        ASSERT_EQ(EditorTextLength(nodeText), editor.back()) << text;
        for (std::size_t i = 0; i < editor.size(); ++i) {
            const std::size_t j = i + rng() % (editor.size() - i);
            ASSERT_TRUE(StoredSelectionFromEditor(nodeText, editor[i], editor[j] - editor[i]) ==
                        Sel(stored[i], stored[j] - stored[i])) << text << " @" << i;
            ASSERT_TRUE(EditorSelectionFromStored(nodeText, stored[i], stored[j] - stored[i]) ==
                        Sel(editor[i], editor[j] - editor[i])) << text << " @" << i;
            if (i + 1 < editor.size() && oneCharacter[i]) {
                for (std::int32_t inside = stored[i] + 1; inside < stored[i + 1]; ++inside)
                    ASSERT_EQ(EditorSelectionFromStored(nodeText, inside, 0).start, editor[i]) << text << " @" << i;
                for (std::int32_t inside = editor[i] + 1; inside < editor[i + 1]; ++inside)
                    ASSERT_EQ(StoredSelectionFromEditor(nodeText, inside, 0).start, stored[i]) << text << " @" << i;
            }
        }
    }
}

}  // namespace
