#include "app/NodeTextEdit.h"

#include <QDropEvent>
#include <QInputMethodEvent>
#include <QScopedValueRollback>

void TNodeTextEdit::inputMethodEvent(QInputMethodEvent* event)
{
    // A new preedit removes the selection first: that part is an edit.
    const bool textKept =
        event->commitString().isEmpty() && event->replacementLength() == 0 && !textCursor().hasSelection();
    const bool commits = !event->commitString().isEmpty();
    if (commits)
        emit wholeInsertStarting();
    {
        const QScopedValueRollback<bool> preedit(showingPreedit_, textKept);
        TPiecedTextEdit::inputMethodEvent(event);
    }
    if (commits)
        emit wholeInsertDone();
}

void TNodeTextEdit::insertFromMimeData(const QMimeData* source)
{
    if (dropping_) {
        TPiecedTextEdit::insertFromMimeData(source);
        return;
    }
    emit wholeInsertStarting();
    TPiecedTextEdit::insertFromMimeData(source);
    emit wholeInsertDone();
}

void TNodeTextEdit::dropEvent(QDropEvent* event)
{
    // A drop that moves text takes it out before it puts it in: both are one edit.
    emit wholeInsertStarting();
    {
        const QScopedValueRollback<bool> dropping(dropping_, true);
        TPiecedTextEdit::dropEvent(event);
    }
    emit wholeInsertDone();
}
