#include "app/TextPositions.h"
#include "app/TVLNodeData.h"

#include <gtest/gtest.h>

#include <limits>

using namespace document;

namespace {

bool operator==(TextSelection a, TextSelection b) { return a.start == b.start && a.length == b.length; }

TextSelection Sel(std::int32_t start, std::int32_t length) { return {start, length}; }

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

TEST(TextPositions, Utf16UnitsForJapaneseAndSurrogatePairs) {
    TVLNodeData data;
    data.SetText("日本\n🎌x");  // editor: 日 本 LF (🎌 = 2 units) x
    EXPECT_EQ(EditorTextLength(data.Text()), 6);
    EXPECT_TRUE(StoredSelectionFromEditor(data.Text(), 3, 3) == Sel(4, 3));
    EXPECT_TRUE(EditorSelectionFromStored(data.Text(), 4, 3) == Sel(3, 3));
    // Inside the surrogate pair: the position before it.
    EXPECT_TRUE(EditorSelectionFromStored(data.Text(), 5, 0) == Sel(3, 0));
    EXPECT_TRUE(StoredSelectionFromEditor(data.Text(), 4, 0) == Sel(4, 0));
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

}  // namespace
