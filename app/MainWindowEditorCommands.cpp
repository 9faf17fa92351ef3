// The editor commands: date stamp, word wrap and the fonts of both panes.
#include "app/MainWindow.h"

#include <QAction>
#include <QDateTime>
#include <QFontDialog>
#include <QPlainTextEdit>

void TForm1::actDateTimeExecute(QAction*)
{
    if (!Selected())
        return;
    // Typed through the editor, so that it counts as an edit of the node's text.
    Memo1->insertPlainText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")));
}

void TForm1::actWrapExecute(QAction*)
{
    ApplyWordWrap();
}

void TForm1::ApplyWordWrap()
{
    const bool wrap = actWrap->isChecked();
    Memo1->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
}

void TForm1::actFontExecute(QAction*)
{
    if (const std::optional<QFont> font = ChooseFont(Memo1->font()))
        Memo1->setFont(*font);
}

void TForm1::actFontTreeExecute(QAction*)
{
    if (const std::optional<QFont> font = ChooseFont(TreeView1->font()))
        TreeView1->setFont(*font);
}

std::optional<QFont> TForm1::RunFontDialog(const QFont& initial)
{
    QFontDialog dialog(initial, this);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedFont();
}
