// The main window's remembered settings: collected from its widgets for a save, applied to
// them after a load.
#include "app/MainWindow.h"
#include "settings/OldPreferences.h"

#include <QAction>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTreeView>

namespace {

settings::TWindowState StateOf(Qt::WindowStates state)
{
    if (state & Qt::WindowMinimized)
        return settings::wsMinimized;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return settings::wsMaximized;
    return settings::wsNormal;
}

Qt::WindowStates WindowStateOf(std::int32_t state)
{
    switch (state) {
    case settings::wsMinimized:
        return Qt::WindowMinimized;
    case settings::wsMaximized:
        return Qt::WindowMaximized;
    default:
        return Qt::WindowNoState;
    }
}

void ReadFont(const QWidget& widget, std::string& name, std::int32_t& size)
{
    name = widget.font().family().toStdString();
    // A font given in pixels has no point size of its own; the size it is shown at has.
    size = QFontInfo(widget.font()).pointSize();
}

void ApplyFont(QWidget& widget, const std::string& name, std::int32_t size)
{
    QFont font = widget.font();
    if (!name.empty())
        font.setFamily(QString::fromStdString(name));
    if (size > 0)
        font.setPointSize(size);
    widget.setFont(font);
}

}  // namespace

settings::Preferences TForm1::CurrentPreferences() const
{
    settings::Preferences preferences;
    preferences.Form.Bounds = {x(), y(), width(), height()};
    preferences.Form.State = StateOf(windowState());
    preferences.LeftPaneWidth = Splitter1->sizes().value(0);
    preferences.WordWrap = actWrap->isChecked();
    ReadFont(*Memo1, preferences.FontName, preferences.FontSize);
    ReadFont(*TreeView1, preferences.TreeFontName, preferences.TreeFontSize);
    // Settings rewritten at start-up, before any document is shown, name none.
    preferences.EditingFileName = FRootNode ? FileName().toStdString() : std::string();
    return preferences;
}

void TForm1::ApplyPreferences(const settings::Preferences& preferences)
{
    const settings::WindowBounds& bounds = preferences.Form.Bounds;
    move(bounds.Left, bounds.Top);
    if (bounds.Width > 0 && bounds.Height > 0)
        resize(bounds.Width, bounds.Height);
    // The restored geometry: a window that is never in the normal state keeps it as its
    // normal-state bounds instead of zeros.
    FNormalLeft = bounds.Left;
    FNormalTop = bounds.Top;
    FNormalClientWidth = width();
    FNormalClientHeight = height();
    setWindowState(WindowStateOf(preferences.Form.State));

    const QList<int> sizes = Splitter1->sizes();
    if (preferences.LeftPaneWidth > 0 && sizes.size() == 2) {
        const int total = sizes[0] + sizes[1];
        Splitter1->setSizes({preferences.LeftPaneWidth, std::max(total - preferences.LeftPaneWidth, 0)});
    }
    actWrap->setChecked(preferences.WordWrap);
    ApplyWordWrap();
    ApplyFont(*Memo1, preferences.FontName, preferences.FontSize);
    ApplyFont(*TreeView1, preferences.TreeFontName, preferences.TreeFontSize);
}

QString TForm1::LoadPreferences()
{
    settings::Preferences preferences = CurrentPreferences();
    try {
        settings::LoadPreferences(*FStartup.settings, preferences, *FHistoryMenu);
    } catch (...) {
        // The values read before the failure stay applied.
        ApplyPreferences(preferences);
        throw;
    }
    ApplyPreferences(preferences);
    return QString::fromStdString(preferences.EditingFileName);
}

void TForm1::LoadOldPreferences()
{
    settings::Preferences preferences = CurrentPreferences();
    settings::LoadOldPreferences(*FStartup.settings, preferences);
    ApplyPreferences(preferences);
}

void TForm1::SavePreferences()
{
    const settings::WindowBounds normalBounds{FNormalLeft, FNormalTop, FNormalClientWidth, FNormalClientHeight};
    settings::SavePreferences(*FStartup.settings, CurrentPreferences(), normalBounds, *FHistoryMenu);
}
