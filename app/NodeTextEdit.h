// The editor pane: a plain-text editor that holds long lines in pieces (LongLines.h) and
// tells an input method's preedit from an edit.
// Qt reports each change of the preedit (the text being composed, drawn at the caret but not
// in the document) as a change of the text; only a commit, or a preedit that replaces a
// selection, changes what is saved.
#pragma once

#include "app/LongLines.h"

class TNodeTextEdit : public TPiecedTextEdit {
    Q_OBJECT
public:
    using TPiecedTextEdit::TPiecedTextEdit;

    // True while a preedit is being shown that leaves the document's text as it was.
    bool ShowingPreedit() const { return showingPreedit_; }

signals:
    // An input method is about to put committed text into the document, and has.
    void inputCommitting();
    void inputCommitted();

protected:
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    bool showingPreedit_ = false;
};
