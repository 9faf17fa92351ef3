// The editor pane: a plain-text editor that holds long lines in pieces (LongLines.h), tells
// an input method's preedit from an edit, and says when an edit that is no typing comes.
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
    // Text is about to be put in as a whole, and has been: an input method's commit, a paste
    // (also with the middle button) or a drop.
    void wholeInsertStarting();
    void wholeInsertDone();

protected:
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool showingPreedit_ = false;
    bool dropping_ = false;
};
