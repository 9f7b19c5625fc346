// The program that opens plain files: the Options submenu, its settings, and Edit Z-Segments.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <initializer_list>

#include "app/Settings.h"
#include "app/frmMain.h"
#include "files/TextEditor.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

// What a new z-segments.dat holds: a reminder of the line format the description reader takes.
const char kZSegmentsHeader[] =
    "# One field per line: its designation, a comma and its description, for example "
    "\"ZPI-1, Patient grade\". Lines starting with # are comments.\n";

// The editor's name as the Manually item shows it: the file name of a picked program.
QString EditorName(const QString& editor)
{
    const qsizetype slash = std::max(editor.lastIndexOf(u'/'), editor.lastIndexOf(u'\\'));
    const QString name = editor.mid(slash + 1);
    return name.isEmpty() ? QStringLiteral("none selected") : name;
}

// The clicked item's mark is inverted; when it is now marked, the others lose theirs.
void ToggleEditorItem(QAction* clicked, std::initializer_list<QAction*> items)
{
    clicked->setChecked(!clicked->isChecked());
    if (!clicked->isChecked())
        return;
    for (QAction* item : items)
        if (item != clicked)
            item->setChecked(false);
}

// Writes a new description file holding only its format comment; never replaces a file.
bool CreateZSegmentsFile(const QString& path, QString* error)
{
    return platform::WriteFileWhole(path, kZSegmentsHeader, error, platform::WholeFile::Options::NeverReplacing());
}

}  // namespace

void frmMain::SaveTextEditorForViewer()
{
    Settings settings(st.settings);
    settings.SetViewerUseNotepad(mnuOptionsDefaultTextEditorNotepad->isChecked());
    settings.SetViewerWindowsDecides(mnuOptionsDefaultTextEditorWindows->isChecked());
    settings.SetViewerUseWordPad(mnuOptionsDefaultTextEditorWordpad->isChecked());
    settings.SetViewerUserSelected(st.session.TextEditorForViewer);
}

void frmMain::GetTextEditorForViewer()
{
    const Settings settings(st.settings);
    const bool notepad = settings.ViewerUseNotepad();
    const bool windows = settings.ViewerWindowsDecides();
    const bool wordpad = settings.ViewerUseWordPad();
    const QString userSelected = settings.ViewerUserSelected();

    mnuOptionsDefaultTextEditorNotepad->setChecked(notepad);
    mnuOptionsDefaultTextEditorWindows->setChecked(windows);
    mnuOptionsDefaultTextEditorWordpad->setChecked(wordpad);

    QString& editor = st.session.TextEditorForViewer;
    const bool manually = !notepad && !wordpad && !windows;
    if (notepad)
        editor = QStringLiteral("notepad");
    else if (wordpad)
        editor = QStringLiteral("wordpad");
    else if (manually)
        editor = userSelected;
    else
        editor.clear();
    mnuOptionsDefaultTextEditorManually->setChecked(manually);
    mnuOptionsDefaultTextEditorManually->setText(
        QStringLiteral("Select Default Text Editor [currently ") + EditorName(editor)
        + QStringLiteral("]..."));
}

void frmMain::mnuOptionsDefaultTextEditorNotepad_Click()
{
    ToggleEditorItem(mnuOptionsDefaultTextEditorNotepad,
                     {mnuOptionsDefaultTextEditorNotepad, mnuOptionsDefaultTextEditorWordpad,
                      mnuOptionsDefaultTextEditorWindows, mnuOptionsDefaultTextEditorManually});
    SaveTextEditorForViewer();
    GetTextEditorForViewer();
}

void frmMain::mnuOptionsDefaultTextEditorWordpad_Click()
{
    ToggleEditorItem(mnuOptionsDefaultTextEditorWordpad,
                     {mnuOptionsDefaultTextEditorNotepad, mnuOptionsDefaultTextEditorWordpad,
                      mnuOptionsDefaultTextEditorWindows, mnuOptionsDefaultTextEditorManually});
    SaveTextEditorForViewer();
    GetTextEditorForViewer();
}

void frmMain::mnuOptionsDefaultTextEditorWindows_Click()
{
    ToggleEditorItem(mnuOptionsDefaultTextEditorWindows,
                     {mnuOptionsDefaultTextEditorNotepad, mnuOptionsDefaultTextEditorWordpad,
                      mnuOptionsDefaultTextEditorWindows, mnuOptionsDefaultTextEditorManually});
    SaveTextEditorForViewer();
    GetTextEditorForViewer();
}

void frmMain::mnuOptionsDefaultTextEditorManually_Click()
{
    mnuOptionsDefaultTextEditorManually->setChecked(true);
    mnuOptionsDefaultTextEditorNotepad->setChecked(false);
    mnuOptionsDefaultTextEditorWordpad->setChecked(false);
    mnuOptionsDefaultTextEditorWindows->setChecked(false);

    platform::FileDialogRequest request;
    request.title = QStringLiteral("Select Text Editor");
    request.folder = st.options.LastFileOpenPath;
    request.patterns = {QStringLiteral("All Files (*)")};
    const QStringList chosen = dlg.FileDialog(request);
    // Cancel: nothing changes until the submenu is next used.
    if (chosen.isEmpty() || chosen.front().isEmpty())
        return;
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    st.session.TextEditorForViewer = chosen.front();
    SaveTextEditorForViewer();
    GetTextEditorForViewer();
}

void frmMain::mnuToolsEditZSegments_Click()
{
    const QString path = st.folders.DataRoot + QStringLiteral("z-segments.dat");
    if (!QFileInfo::exists(path)) {
        dlg.MsgBox(QStringLiteral("There is no z-segments.dat file.  One will be created for you, "
                                  "\r\nbut please see the manual for the proper format."),
                   MsgButtons::OKOnly, MsgIcon::Information, QStringLiteral("No Z-Segment File"));
        // The editor still opens: it can make the file when the user saves.
        if (QString error; !CreateZSegmentsFile(path, &error))
            dlg.MsgBox(QStringLiteral("The file '%1' could not be created: %2").arg(path, error),
                       MsgButtons::OKOnly, MsgIcon::Exclamation,
                       QStringLiteral("No Z-Segment File"));
    }

    const QString& editor = st.session.TextEditorForViewer;
    const PlainFileOpening opening = OpenPlainFile(desktop, editor, GetShortPath(path));
    if (opening.ok)
        return;
    if (!opening.program.isEmpty())
        dlg.MsgBox(QStringLiteral("Can not find the editor that you selected: ") + editor
                       + QStringLiteral(".  Please select a different editor."),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Can't Find Editor"));
    else
        dlg.MsgBox(QStringLiteral("No program could be started to open the file '%1'. Please "
                                  "choose an editor in the [Options|Select Default Text Editor] "
                                  "menu.")
                       .arg(path),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Can't Find Editor"));
}

}  // namespace quillon
