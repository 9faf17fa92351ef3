// Inserting a text file into the editor at the caret, as if the user had pasted it.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QPlainTextEdit;

// The file types of the open dialog for a text file: text files, then all files.
QStringList TextFileFilters();

// Reads the file at path whole, decodes it and makes its line breaks uniform, then replaces
// the editor's selection with it (or inserts it at the caret); the caret ends after it. The
// editor's change notification follows as after typing. Throws FileError ("ファイル %s は
// 開けません") when the file cannot be read; the editor is then unchanged. insert, when
// given, puts the text in instead of the editor's cursor (an editor that holds long lines
// in pieces inserts its own way).
void InsertTextFile(QPlainTextEdit& editor, const QString& path,
                    const std::function<void(const QString& text)>& insert = {});
