// Geometry of a message dialog, computed from the message font's measurements alone so
// that it can be checked without a window.
#pragma once

#include <vector>

namespace forms {

// a * b / c rounded to the nearest integer (halves away from zero), with a 64-bit
// intermediate; -1 when c is 0 or the result does not fit in an int.
int MulDiv(int a, int b, int c) noexcept;

// The font's dialog units: x is the average width of the letters A-Z a-z, y the line height.
struct DialogUnits {
    int x = 0;
    int y = 0;
};

// x from the width of the 52 letters "A".."Z" "a".."z" written together (truncated).
DialogUnits DialogUnitsFrom(int widthOf52Letters, int lineHeight) noexcept;

struct MessageMetrics {
    int horizontalMargin = 0;
    int verticalMargin = 0;
    int horizontalSpacing = 0;
    int verticalSpacing = 0;
    int minimumButtonWidth = 0;
    int buttonHeight = 0;
    int buttonSpacing = 0;
};

MessageMetrics MetricsFor(DialogUnits units) noexcept;

// The side of the square icon.
inline constexpr int kIconSize = 32;
// Added to a caption's measured width to give a button its width.
inline constexpr int kButtonCaptionPadding = 8;

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const Rect&, const Rect&) = default;
};

// What the layout needs measured.
struct MessageMeasures {
    DialogUnits units;
    // Width of every button caption, in button order, measured on one line without
    // mnemonic marks.
    std::vector<int> captionWidths;
    // The message measured word-wrapped in a box half the screen wide.
    int textWidth = 0;
    int textHeight = 0;
    bool hasIcon = false;
    bool rightToLeft = false;
};

struct MessageLayout {
    int clientWidth = 0;
    int clientHeight = 0;
    int buttonWidth = 0;
    // Empty (all zero) without an icon.
    Rect icon;
    Rect text;
    // One per measured caption, left to right.
    std::vector<Rect> buttons;
};

MessageLayout LayOutMessageDialog(const MessageMeasures& measures);

// The box width in which the message is wrapped.
inline int MessageWrapWidth(int screenWidth) noexcept { return screenWidth / 2; }

struct Point {
    int x = 0;
    int y = 0;

    friend bool operator==(const Point&, const Point&) = default;
};

// Top-left corner of a window of the given outer size centred on the screen.
Point CenteredPosition(int screenWidth, int screenHeight, int windowWidth, int windowHeight) noexcept;

}  // namespace forms
