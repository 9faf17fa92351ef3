#include "app/NodeTextEdit.h"

#include <QInputMethodEvent>
#include <QScopedValueRollback>

void TNodeTextEdit::inputMethodEvent(QInputMethodEvent* event)
{
    // A new preedit removes the selection first: that part is an edit.
    const bool textKept =
        event->commitString().isEmpty() && event->replacementLength() == 0 && !textCursor().hasSelection();
    const bool commits = !event->commitString().isEmpty();
    if (commits)
        emit inputCommitting();
    {
        const QScopedValueRollback<bool> preedit(showingPreedit_, textKept);
        TPiecedTextEdit::inputMethodEvent(event);
    }
    if (commits)
        emit inputCommitted();
}
