#include "forms/MessageDialogLayout.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace forms {

int MulDiv(int a, int b, int c) noexcept
{
    if (c == 0)
        return -1;
    std::int64_t product = static_cast<std::int64_t>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    std::int64_t magnitude = product < 0 ? -product : product;
    const std::int64_t divisor = c < 0 ? -static_cast<std::int64_t>(c) : c;
    const std::int64_t rounded = (magnitude + divisor / 2) / divisor;
    const std::int64_t result = negative ? -rounded : rounded;
    if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(result);
}

DialogUnits DialogUnitsFrom(int widthOf52Letters, int lineHeight) noexcept
{
    return DialogUnits{widthOf52Letters / 52, lineHeight};
}

MessageMetrics MetricsFor(DialogUnits units) noexcept
{
    MessageMetrics m;
    m.horizontalMargin = MulDiv(8, units.x, 4);
    m.verticalMargin = MulDiv(8, units.y, 8);
    m.horizontalSpacing = MulDiv(10, units.x, 4);
    m.verticalSpacing = MulDiv(10, units.y, 8);
    m.minimumButtonWidth = MulDiv(50, units.x, 4);
    m.buttonHeight = MulDiv(14, units.y, 8);
    m.buttonSpacing = MulDiv(4, units.x, 4);
    return m;
}

MessageLayout LayOutMessageDialog(const MessageMeasures& measures)
{
    const MessageMetrics m = MetricsFor(measures.units);
    MessageLayout layout;

    layout.buttonWidth = m.minimumButtonWidth;
    for (int width : measures.captionWidths)
        layout.buttonWidth = std::max(layout.buttonWidth, width + kButtonCaptionPadding);

    int iconTextWidth = measures.textWidth;
    int iconTextHeight = measures.textHeight;
    if (measures.hasIcon) {
        iconTextWidth += kIconSize + m.horizontalSpacing;
        iconTextHeight = std::max(iconTextHeight, kIconSize);
    }

    const int buttonCount = static_cast<int>(measures.captionWidths.size());
    const int buttonRowWidth =
        buttonCount == 0 ? 0 : buttonCount * layout.buttonWidth + (buttonCount - 1) * m.buttonSpacing;

    layout.clientWidth = std::max(iconTextWidth, buttonRowWidth) + 2 * m.horizontalMargin;
    layout.clientHeight = iconTextHeight + m.buttonHeight + m.verticalSpacing + 2 * m.verticalMargin;

    if (measures.hasIcon)
        layout.icon = Rect{m.horizontalMargin, m.verticalMargin, kIconSize, kIconSize};

    int textLeft = iconTextWidth - measures.textWidth + m.horizontalMargin;
    if (measures.rightToLeft)
        textLeft = layout.clientWidth - textLeft - measures.textWidth;
    layout.text = Rect{textLeft, m.verticalMargin, measures.textWidth, measures.textHeight};

    int x = (layout.clientWidth - buttonRowWidth) / 2;
    const int y = iconTextHeight + m.verticalMargin + m.verticalSpacing;
    for (int i = 0; i < buttonCount; ++i) {
        layout.buttons.push_back(Rect{x, y, layout.buttonWidth, m.buttonHeight});
        x += layout.buttonWidth + m.buttonSpacing;
    }
    return layout;
}

Point CenteredPosition(int screenWidth, int screenHeight, int windowWidth, int windowHeight) noexcept
{
    return Point{screenWidth / 2 - windowWidth / 2, screenHeight / 2 - windowHeight / 2};
}

}  // namespace forms
