#pragma once
// The program that opens plain files for the user to read: the z-segment description file, a
// file that holds no HL7 records, the trace log. The user's choice is kept as a word ("notepad",
// "wordpad"), the path of a program picked by hand, or nothing (the desktop decides); the words
// stand for a kind of editor and are matched to one installed here when a file is opened.
#include <QString>
#include <functional>

#include "platform/Process.h"

namespace quillon {

// Full path of an executable found on PATH, or empty.
using ExecutableLookup = std::function<QString(const QString& name)>;
QString FindExecutableOnPath(const QString& name);

// The program to run for the stored editor command: for "notepad" and "wordpad" (any letter
// case) the first installed editor of their kind, empty when none is installed; for anything
// else the command as it is (empty when nothing is chosen and the desktop opens the file).
QString ResolveTextEditor(const QString& stored, const ExecutableLookup& findExecutable);

// How a plain file was handed on.
struct PlainFileOpening {
    QString program;  // the program asked to open it; empty when the desktop was asked
    bool ok = false;  // whether that program (or the desktop's opener) started
};

// Opens `path` with the stored editor command: its program gets the path as its one argument
// (no shell sees it), or the desktop opens the file with `verb` when no editor is chosen. A
// chosen "notepad" or "wordpad" with no such editor installed fails with `program` holding the
// word, so that the caller names the missing editor rather than the desktop opening the file.
PlainFileOpening OpenPlainFile(platform::Desktop& desktop, const QString& editor,
                               const QString& path, const QString& verb = QStringLiteral("Open"),
                               const ExecutableLookup& findExecutable = FindExecutableOnPath);

}  // namespace quillon
