// The default text editor: the Options submenu and its settings, the matching of the stored
// editor words to an installed editor, and Tools > Edit Z-Segment Definition File.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <set>
#include <string>

#include "BackgroundSupport.h"
#include "TestSupport.h"
#include "app/DataFolders.h"
#include "app/Settings.h"
#include "files/TextEditor.h"
#include "records/Dictionary.h"

namespace quillon::test {
namespace {

using platform::MsgIcon;

const QString kNotepad = QStringLiteral("ViewerUseNotepad");
const QString kWindows = QStringLiteral("ViewerWindowsDecides");
const QString kWordPad = QStringLiteral("ViewerUseWordPad");
const QString kUser = QStringLiteral("ViewerUserSelected");

class TextEditorTest : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;

    QString Setting(const QString& name) const
    {
        return st.settings.Get(kSettingsApp, name, QStringLiteral("0"), QStringLiteral("<none>"));
    }
    void Put(const QString& name, const QString& value)
    {
        st.settings.Save(kSettingsApp, name, QStringLiteral("0"), value);
    }
    // The four items' marks: Notepad, Wordpad, Windows, Manually ("-" for none).
    QString Marks() const
    {
        QString out;
        for (const auto& [item, sign] : {std::pair{w.mnuOptionsDefaultTextEditorNotepad, 'N'},
                                         {w.mnuOptionsDefaultTextEditorWordpad, 'W'},
                                         {w.mnuOptionsDefaultTextEditorWindows, 'D'},
                                         {w.mnuOptionsDefaultTextEditorManually, 'M'}})
            out += item->isChecked() ? QLatin1Char(sign) : QLatin1Char('-');
        return out;
    }
    static QString Caption(const QString& name)
    {
        return QStringLiteral("Select Default Text Editor [currently ") + name
               + QStringLiteral("]...");
    }
};

TEST_F(TextEditorTest, FirstStartHasNoEditorAndMarksManually)
{
    w.GetTextEditorForViewer();
    EXPECT_EQ(st.session.TextEditorForViewer, QString());
    EXPECT_EQ(Marks(), QStringLiteral("---M"));
    EXPECT_EQ(w.mnuOptionsDefaultTextEditorManually->text(), Caption("none selected"));
}

struct ItemCase {
    const char* name;
    QString notepad, wordpad, windows, user;  // stored before start-up
    QAction* frmMain::*item;                  // the item chosen from the menu
    QString savedNotepad, savedWindows, savedWordPad, savedUser;
    QString editor, marks, shownName;
};

class ItemTest : public TextEditorTest, public ::testing::WithParamInterface<ItemCase> {};

TEST_P(ItemTest, ChoosingAnItemStoresTheMarksAndThePreviousEditor)
{
    const ItemCase& c = GetParam();
    Put(kNotepad, c.notepad);
    Put(kWordPad, c.wordpad);
    Put(kWindows, c.windows);
    Put(kUser, c.user);
    w.GetTextEditorForViewer();
    (w.*c.item)->trigger();

    EXPECT_EQ(Setting(kNotepad), c.savedNotepad);
    EXPECT_EQ(Setting(kWindows), c.savedWindows);
    EXPECT_EQ(Setting(kWordPad), c.savedWordPad);
    EXPECT_EQ(Setting(kUser), c.savedUser);
    EXPECT_EQ(st.session.TextEditorForViewer, c.editor);
    EXPECT_EQ(Marks(), c.marks);
    EXPECT_EQ(w.mnuOptionsDefaultTextEditorManually->text(), Caption(c.shownName));
    EXPECT_TRUE(f.responder.shown().empty());
}

const QString T = QStringLiteral("True"), F = QStringLiteral("False"),
              Ed = QStringLiteral("/opt/x/ed");

INSTANTIATE_TEST_SUITE_P(
    Cases, ItemTest,
    ::testing::Values(
        ItemCase{"WordpadAfterPicked", F, F, F, Ed, &frmMain::mnuOptionsDefaultTextEditorWordpad, F,
                 F, T, Ed, "wordpad", "-W--", "wordpad"},
        ItemCase{"NotepadAfterWordpad", F, T, F, Ed, &frmMain::mnuOptionsDefaultTextEditorNotepad,
                 T, F, F, "wordpad", "notepad", "N---", "notepad"},
        ItemCase{"WindowsAfterNotepad", T, F, F, Ed, &frmMain::mnuOptionsDefaultTextEditorWindows,
                 F, T, F, "notepad", "", "--D-", "none selected"},
        // Unmarking the marked item keeps the editor in force, now as the picked one.
        ItemCase{"NotepadUnmarked", QStringLiteral("true"), F, F, Ed,
                 &frmMain::mnuOptionsDefaultTextEditorNotepad, F, F, F, "notepad", "notepad",
                 "---M", "notepad"},
        ItemCase{"WindowsUnmarked", F, F, QStringLiteral("-1"), Ed,
                 &frmMain::mnuOptionsDefaultTextEditorWindows, F, F, F, "", "", "---M",
                 "none selected"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextEditorTest, HandPickedEditorIsStoredAndNamedInTheCaption)
{
    Put(kWindows, T);
    st.options.LastFileOpenPath = QStringLiteral("/srv/open here");
    w.GetTextEditorForViewer();
    const QString picked = QStringLiteral("/opt/my tools/ed.bin");
    f.responder.QueueFiles({picked});
    w.mnuOptionsDefaultTextEditorManually->trigger();

    ASSERT_EQ(f.responder.fileDialogs().size(), 1u);
    const platform::FileDialogRequest& request = f.responder.fileDialogs().front();
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.title, QStringLiteral("Select Text Editor"));
    EXPECT_EQ(request.folder, QStringLiteral("/srv/open here"));
    EXPECT_EQ(request.patterns, QStringList{QStringLiteral("All Files (*)")});
    EXPECT_EQ(Setting(kUser), picked);
    EXPECT_EQ((QStringList{Setting(kNotepad), Setting(kWindows), Setting(kWordPad)}),
              (QStringList{F, F, F}));
    EXPECT_EQ(st.session.TextEditorForViewer, picked);
    EXPECT_EQ(Marks(), QStringLiteral("---M"));
    EXPECT_EQ(w.mnuOptionsDefaultTextEditorManually->text(), Caption("ed.bin"));
}

TEST_F(TextEditorTest, CancelledPickStoresNothing)
{
    Put(kNotepad, T);
    w.GetTextEditorForViewer();
    f.responder.QueueFiles({});
    w.mnuOptionsDefaultTextEditorManually->trigger();
    EXPECT_EQ(st.session.TextEditorForViewer, QStringLiteral("notepad"));
    EXPECT_EQ(Setting(kNotepad), T);
    EXPECT_EQ(Setting(kUser), QStringLiteral("<none>"));
    EXPECT_EQ(Marks(), QStringLiteral("---M"));
}

// ---------------------------------------------------------------------------------------------
// The stored words against what is installed.

struct ResolveCase {
    const char* name;
    QString stored;
    std::set<QString> installed;
    QString program;  // empty: the desktop opens the file, or, for a word, nothing can
};

class ResolveTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveTest, FindsAnInstalledEditorOrLeavesItToTheDesktop)
{
    const ResolveCase& c = GetParam();
    const auto lookup = [&](const QString& name) {
        return c.installed.count(name) ? QStringLiteral("/usr/bin/") + name : QString();
    };
    EXPECT_EQ(ResolveTextEditor(c.stored, lookup), c.program);

    FakeDesktop desktop;
    const QString path = QStringLiteral("/tmp/a b; $(c) & 'd'.txt");
    const PlainFileOpening opening =
        OpenPlainFile(desktop, c.stored, path, QStringLiteral("Open"), lookup);
    // A chosen kind of editor that is not installed fails, naming the word for the message.
    const bool missing = c.program.isEmpty() && !c.stored.isEmpty();
    EXPECT_EQ(opening.ok, !missing);
    EXPECT_EQ(opening.program, missing ? c.stored : c.program);
    if (missing) {
        EXPECT_TRUE(desktop.started.empty());
        EXPECT_TRUE(desktop.opened.empty());
    } else if (c.program.isEmpty()) {
        EXPECT_TRUE(desktop.started.empty());
        EXPECT_EQ(desktop.opened, (std::vector<QStringList>{{QStringLiteral("Open"), path}}));
    } else {
        EXPECT_TRUE(desktop.opened.empty());
        EXPECT_EQ(desktop.started, (std::vector<QStringList>{{c.program, path}}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolveTest,
    ::testing::Values(
        ResolveCase{"NothingChosen", "", {"gedit"}, ""},
        ResolveCase{"NotepadNoneInstalled", "notepad", {}, ""},
        ResolveCase{"NotepadFirstOfTheList", "notepad", {"mousepad", "gedit"}, "/usr/bin/gedit"},
        ResolveCase{
            "NotepadSkipsWordProcessors", "Notepad", {"abiword", "kwrite"}, "/usr/bin/kwrite"},
        ResolveCase{
            "WordpadPrefersWordProcessor", "wordpad", {"gedit", "abiword"}, "/usr/bin/abiword"},
        ResolveCase{"WordpadFallsBackToPlain", "wordpad", {"xed"}, "/usr/bin/xed"},
        ResolveCase{"WordpadNoneInstalled", "wordpad", {}, ""},
        ResolveCase{"PickedStartsAsItIs", "/opt/my ed/notepad", {"gedit"}, "/opt/my ed/notepad"},
        ResolveCase{"PickedBareName", "myeditor", {"gedit", "myeditor"}, "myeditor"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Tools > Edit Z-Segment Definition File.

struct ZCase {
    const char* name;
    bool exists;
    QString editor;
    bool startSucceeds, openSucceeds;
    QStringList titles;  // the boxes shown, in order
};

class ZSegmentsTest : public TextEditorTest, public ::testing::WithParamInterface<ZCase> {};

TEST_P(ZSegmentsTest, OpensTheFileCreatingItWhenMissing)
{
    const ZCase& c = GetParam();
    // Blanks and shell characters in the folder: the path must stay one argument.
    st.folders.DataRoot = f.home.filePath(QStringLiteral("my data; $(x) `y` & 'q'")) + '/';
    ASSERT_TRUE(QDir().mkpath(st.folders.DataRoot));
    const QString path = st.folders.DataRoot + QStringLiteral("z-segments.dat");
    if (c.exists)
        WriteBytes(path, "ZPI-1, Grade\n");
    st.session.TextEditorForViewer = c.editor;
    f.desktop.startSucceeds = c.startSucceeds;
    f.desktop.openSucceeds = c.openSucceeds;
    w.mnuToolsEditZSegments->trigger();

    QStringList titles;
    for (const auto& box : f.responder.shown())
        titles << box.title;
    ASSERT_EQ(titles, c.titles);
    const auto& shown = f.responder.shown();
    if (!c.exists) {
        EXPECT_EQ(shown[0].text, QStringLiteral("There is no z-segments.dat file.  One will be "
                                                "created for you, \r\nbut please see the manual "
                                                "for the proper format."));
        EXPECT_EQ(shown[0].icon, MsgIcon::Information);
        // The new file holds one comment line, which the description reader passes over.
        const std::string bytes = ReadBytes(path);
        EXPECT_EQ(bytes.rfind("# ", 0), 0u);
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 1);
        DescriptionDictionary d;
        int bad = 0;
        EXPECT_TRUE(d.LoadZSegments(path, [&](const std::string&) { ++bad; }).isEmpty());
        EXPECT_EQ(bad, 0);
        EXPECT_TRUE(d.ZSegmentKeys.empty());
    } else {
        EXPECT_EQ(ReadBytes(path), "ZPI-1, Grade\n");
    }
    if (c.editor.isEmpty()) {
        EXPECT_TRUE(f.desktop.started.empty());
        EXPECT_EQ(f.desktop.opened, (std::vector<QStringList>{{QStringLiteral("Open"), path}}));
    } else {
        EXPECT_TRUE(f.desktop.opened.empty());
        EXPECT_EQ(f.desktop.started, (std::vector<QStringList>{{c.editor, path}}));
    }
    if (titles.endsWith(QStringLiteral("Can't Find Editor"))) {
        EXPECT_EQ(shown.back().icon, MsgIcon::Exclamation);
        const QString expected =
            c.editor.isEmpty()
                ? QStringLiteral("No program could be started to open the file '%1'.").arg(path)
                : QStringLiteral("Can not find the editor that you selected: ") + c.editor
                      + QStringLiteral(".  Please select a different editor.");
        EXPECT_TRUE(shown.back().text.startsWith(expected)) << shown.back().text.toStdString();
    }
}

const QString kNoFile = QStringLiteral("No Z-Segment File"),
              kNoEditor = QStringLiteral("Can't Find Editor");

// Run with a search path that holds no editor, as on a system without a desktop editor.
TEST_F(TextEditorTest, ChosenKindOfEditorNotInstalledIsReported)
{
    QTemporaryDir empty;
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", empty.path().toLocal8Bit());
    WriteBytes(st.folders.DataRoot + QStringLiteral("z-segments.dat"), "ZPI-1, Grade\n");
    QStringList texts;
    for (const char* word : {"notepad", "wordpad"}) {
        st.session.TextEditorForViewer = QString::fromLatin1(word);
        w.mnuToolsEditZSegments->trigger();
    }
    qputenv("PATH", savedPath);

    for (const auto& box : f.responder.shown()) {
        EXPECT_EQ(box.title, kNoEditor);
        texts << box.text;
    }
    EXPECT_EQ(texts, (QStringList{
                         QStringLiteral("Can not find the editor that you selected: notepad.  "
                                        "Please select a different editor."),
                         QStringLiteral("Can not find the editor that you selected: wordpad.  "
                                        "Please select a different editor.")}));
    EXPECT_TRUE(f.desktop.opened.empty());
    EXPECT_TRUE(f.desktop.started.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZSegmentsTest,
    ::testing::Values(
        ZCase{"MissingFile", false, Ed, true, true, {kNoFile}},
        ZCase{"ExistingFile", true, Ed, true, true, {}},
        ZCase{"DesktopDecides", false, "", true, true, {kNoFile}},
        ZCase{"MissingEditor", true, QStringLiteral("/opt/gone/ed"), false, true, {kNoEditor}},
        ZCase{"MissingEditorAndFile",
              false,
              QStringLiteral("/opt/gone/ed"),
              false,
              true,
              {kNoFile, kNoEditor}},
        ZCase{"DesktopFails", true, "", true, false, {kNoEditor}}),
    [](const auto& info) { return std::string(info.param.name); });

// Tools > Edit Z-Segment Definition File with the desktop deciding, on a scratch desktop: a
// default program that runs in a terminal opens the file only where a terminal emulator is
// installed; otherwise it counts as no program and the box says so.
TEST(ZSegmentsOnTheSystemDesktop, TerminalProgramOpensOnlyWithATerminal)
{
    ScratchDesktop scratch;
    const struct {
        const char* name;
        const char* handler;
        bool terminalHandler, terminalInstalled, opens;
    } cases[] = {
        // In this order: the terminal, once there, stays for the later cases.
        {"terminal program, no terminal", "term.desktop", true, false, false},
        {"plain program", "plain.desktop", false, false, true},
        {"terminal program and a terminal", "term.desktop", true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scratch.AddDefault(QString::fromLatin1(c.handler), c.terminalHandler, {QStringLiteral("text/plain")});
        if (c.terminalInstalled)
            scratch.AddTerminal();
        QTemporaryDir home;
        AppState state;
        InitDataFolders(state.folders, home.path(), QStringLiteral("quillon"));
        platform::ScriptedResponder responder;
        platform::SystemDesktop desktop;
        frmMain window(state, responder, desktop);
        ASSERT_TRUE(ChooseMenuItem(window.mnuToolsEditZSegments));

        QStringList titles;
        for (const auto& box : responder.shown())
            titles << box.title;
        EXPECT_EQ(titles, c.opens ? QStringList{kNoFile} : (QStringList{kNoFile, kNoEditor}));
        const QString path = state.folders.DataRoot + QStringLiteral("z-segments.dat");
        EXPECT_EQ(scratch.Recorded(c.opens ? 10000 : 300), c.opens ? path.toStdString() : "(nothing)");
    }
}

}  // namespace
}  // namespace quillon::test
