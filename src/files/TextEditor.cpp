#include "files/TextEditor.h"

#include <QStandardPaths>
#include <QStringList>

namespace quillon {

namespace {

// Plain text editors of the common desktops, the lighter ones after the desktops' own.
const QStringList& PlainEditors()
{
    static const QStringList editors = {
        QStringLiteral("gnome-text-editor"),
        QStringLiteral("gedit"),
        QStringLiteral("kate"),
        QStringLiteral("kwrite"),
        QStringLiteral("mousepad"),
        QStringLiteral("xed"),
        QStringLiteral("pluma"),
        QStringLiteral("featherpad"),
        QStringLiteral("leafpad"),
        QStringLiteral("l3afpad"),
        QStringLiteral("geany"),
    };
    return editors;
}

// Word processors first, then any plain editor.
const QStringList& RichEditors()
{
    static const QStringList editors =
        QStringList{QStringLiteral("abiword"), QStringLiteral("lowriter")} + PlainEditors();
    return editors;
}

QString FirstFound(const QStringList& names, const ExecutableLookup& findExecutable)
{
    for (const QString& name : names) {
        const QString found = findExecutable(name);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

}  // namespace

QString FindExecutableOnPath(const QString& name)
{
    return QStandardPaths::findExecutable(name);
}

QString ResolveTextEditor(const QString& stored, const ExecutableLookup& findExecutable)
{
    const QString word = stored.trimmed();
    if (word.compare(QLatin1String("notepad"), Qt::CaseInsensitive) == 0)
        return FirstFound(PlainEditors(), findExecutable);
    if (word.compare(QLatin1String("wordpad"), Qt::CaseInsensitive) == 0)
        return FirstFound(RichEditors(), findExecutable);
    return stored;
}

PlainFileOpening OpenPlainFile(platform::Desktop& desktop, const QString& editor,
                               const QString& path, const QString& verb,
                               const ExecutableLookup& findExecutable)
{
    PlainFileOpening opening;
    opening.program = ResolveTextEditor(editor, findExecutable);
    if (opening.program.isEmpty() && !editor.trimmed().isEmpty()) {
        opening.program = editor.trimmed();
        return opening;
    }
    opening.ok = opening.program.isEmpty() ? desktop.OpenDocument(verb, path)
                                           : desktop.StartProgram(opening.program, {path});
    return opening;
}

}  // namespace quillon
