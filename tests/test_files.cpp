// The File commands of the main window: New, Open (plain, joined and compressed files), the
// recent-files list, Save and Save As.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "BackgroundSupport.h"
#include "TestSupport.h"

namespace quillon::test {
namespace {

using platform::MsgIcon;

std::string Rec(const std::string& tag) { return "MSH|^~\\&|" + tag + "\r"; }
std::string FileOf(const std::string& tag) { return Rec(tag) + "\n"; }

class FilesTest : public ::testing::Test {
public:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;
    const QString user = f.home.filePath(QStringLiteral("user"));

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(user)); }

    QString U(const QString& name) const { return user + QLatin1Char('/') + name; }
    QString Put(const QString& name, const std::string& bytes) const
    {
        WriteBytes(U(name), bytes);
        return U(name);
    }
    static void Run(const QString& dir, const QString& tool, const QStringList& args)
    {
        QProcess p;
        p.setWorkingDirectory(dir);
        p.start(tool, args);
        ASSERT_TRUE(p.waitForFinished(20000)) << tool.toStdString();
        ASSERT_EQ(p.exitCode(), 0) << tool.toStdString();
    }
    // Writes `name` and compresses it in place with gzip or compress (name + ".gz"/".Z").
    QString Pack(const QString& name, const std::string& bytes, const QString& tool)
    {
        Put(name, bytes);
        Run(user, tool, {QStringLiteral("-f"), U(name)});
        return U(name + (tool == QLatin1String("gzip") ? ".gz" : ".Z"));
    }
    // Every file of the user's folder tree, path to bytes.
    std::map<QString, std::string> Snapshot() const
    {
        std::map<QString, std::string> out;
        for (QDirIterator it(user, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();)
            out[it.next()] = ReadBytes(it.filePath());
        return out;
    }
    std::vector<std::string> Records() const
    {
        std::vector<std::string> out;
        for (int32_t i = 1; i <= st.records.RecordCount; ++i)
            out.emplace_back(st.records.Record(i));
        return out;
    }
    QStringList Mru() const
    {
        QStringList out;
        for (int i = 0; i <= w.MRUCount; ++i)
            out << w.mnuMRU[static_cast<size_t>(i)]->text();
        return out;
    }
    void Open(const QStringList& files)
    {
        f.responder.QueueFiles(files);
        w.mnuFileOpen_Click();
    }
    QString Joined() const { return st.folders.Files2LoadFolder + "MultipleFiles.dat"; }
    void SetRecords(const std::vector<std::string>& recs)
    {
        st.records.Reset(100);
        for (const auto& r : recs)
            st.records.Append(r);
    }
};

// ---------------------------------------------------------------------------------------------
// Open

TEST_F(FilesTest, OpenDecompressesJoinsAndLoadsWithoutTouchingTheUserFolder)
{
    const QString stage = f.home.filePath("stage");
    QDir().mkpath(stage + "/sub");
    WriteBytes(stage + "/sub/c1.hl7", FileOf("c1"));
    WriteBytes(stage + "/sub/C2.hl7", FileOf("C2"));
    Run(stage, "zip", {"-qr", U("c.zip"), "sub"});
    const QStringList chosen = {
        Pack("a.hl7", FileOf("a"), "gzip"), Pack("b.hl7", FileOf("b"), "compress"),
        U("c.zip"), Put("d.hl7", FileOf("d")), Put("E.hl7", FileOf("E"))};
    // Once decompressed the working folder holds <stem>.hl7 for these stems, each file holding
    // its stem's record; byte order of the names is the order of the records.
    std::vector<std::string> stems = {"a", "b", "c1", "C2", "d", "E"};
    std::sort(stems.begin(), stems.end());
    std::vector<std::string> wanted;
    for (const auto& s : stems)
        wanted.push_back(Rec(s));

    const auto before = Snapshot();
    Open(chosen);
    EXPECT_TRUE(f.responder.shown().empty());
    EXPECT_EQ(Records(), wanted);
    EXPECT_EQ(w.windowTitle(), "Quillon - " + Joined());
    EXPECT_EQ(st.session.CurrentFileName, Joined());
    EXPECT_EQ(w.mnuMRU[0]->text(), Joined());
    EXPECT_TRUE(w.mnuMRU[0]->isVisible());
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(FilesTest, OnePlainFileIsLoadedWhereItLies)
{
    st.options.DefaultExtensions = {"*.*", "*.dat", "*.txt"};
    st.options.DefaultExtension = "*.dat";
    st.options.LastFileOpenPath = "/previous";
    WriteBytes(st.folders.Files2LoadFolder + "leftover.hl7", FileOf("old"));
    const QString path = Put("one.hl7", FileOf("one"));
    w.lblTCPIPcount->setText("Count: 3");
    Open({path});

    EXPECT_EQ(Records(), std::vector<std::string>{Rec("one")});
    EXPECT_EQ(w.lblTCPIPcount->text(), "Count:");
    EXPECT_TRUE(QDir(st.folders.Files2LoadFolder).isEmpty());
    EXPECT_EQ(st.session.CurrentFileName, path);
    EXPECT_EQ(st.options.LastFileOpenPath, user);
    ASSERT_EQ(f.responder.fileDialogs().size(), 1u);
    const auto& r = f.responder.fileDialogs().front();
    EXPECT_EQ(r.title, "File Open");
    EXPECT_TRUE(r.multiple);
    EXPECT_FALSE(r.save);
    EXPECT_EQ(r.folder, "/previous");
    EXPECT_EQ(r.patterns, QStringList({"*.*", "*.dat", "*.txt"}));
    EXPECT_EQ(r.selectedPattern, 1);
}

TEST_F(FilesTest, SeveralPlainFilesAreJoinedInOrdinalOrder)
{
    const QString b = Put("b.hl7", FileOf("b"));
    const QString a = Put("A.hl7", "MSH|^~\\&|A");  // no final line break
    Open({b, a});
    EXPECT_EQ(ReadBytes(Joined()), "MSH|^~\\&|A\r\n" + FileOf("b"));
    EXPECT_EQ(Records(), (std::vector<std::string>{Rec("A"), Rec("b")}));
    EXPECT_EQ(st.session.CurrentFileName, Joined());
    EXPECT_EQ(w.windowTitle(), "Quillon - " + Joined());
}

TEST_F(FilesTest, FailedOpenKeepsTheRecordsShownBefore)
{
    struct Case {
        const char* name;
        std::function<QStringList(FilesTest&)> prepare;
        const char* text;  // the box's text starts with it ("" no box)
        const char* ends;
    };
    const Case cases[] = {
        {"GzipWillNotOverwrite",
         [](FilesTest& t) {
             const QString gz = t.Pack("x.hl7", FileOf("gz"), "gzip");
             return QStringList{t.Put("x.hl7", FileOf("plain")), gz};
         },
         "The file 'x.hl7.gz' could not be decompressed.", ""},
        {"NotGzipData", [](FilesTest& t) { return QStringList{t.Put("bad.gz", "plain text")}; },
         "The file does not appear to be a zipped/compressed file.", "(retval=1)"},
        // gzip writes part of the file before it finds the damage: none of it is loaded.
        {"TruncatedGzip",
         [](FilesTest& t) {
             std::string many;
             for (int i = 0; many.size() < 400000; ++i)
                 many += "MSH|^~\\&|" + std::to_string(i * 7919 % 100003) + "\r";
             const QString gz = t.Pack("cut.hl7", many, "gzip");
             WriteBytes(gz, ReadBytes(gz).substr(0, QFileInfo(gz).size() / 2));
             return QStringList{gz};
         },
         "The file does not appear to be a zipped/compressed file.", "(retval=1)"},
        {"Cancel", [](FilesTest&) { return QStringList{}; }, "", ""},
        // The end-of-central-directory record alone: a valid archive without entries.
        {"EmptyZip",
         [](FilesTest& t) {
             return QStringList{t.Put("e.zip", std::string("PK\x05\x06", 4) + std::string(18, 0))};
         },
         "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(user).removeRecursively();
        QDir().mkpath(user);
        const QString first = Put("first.hl7", FileOf("first"));
        Open({first});
        ASSERT_EQ(Records(), std::vector<std::string>{Rec("first")});
        f.responder.Clear();
        const QStringList mruBefore = Mru();

        QElapsedTimer timer;
        timer.start();
        Open(c.prepare(*this));
        EXPECT_LT(timer.elapsed(), 30000);
        EXPECT_EQ(f.responder.fileDialogs().size(), 1u);
        if (*c.text) {
            ASSERT_EQ(f.responder.shown().size(), 1u);
            const auto& box = f.responder.shown().front();
            EXPECT_TRUE(box.text.startsWith(c.text)) << box.text.toStdString();
            EXPECT_TRUE(box.text.endsWith(c.ends)) << box.text.toStdString();
            EXPECT_EQ(box.title, "Can't Unzip/Uncompress File");
            EXPECT_EQ(box.icon, MsgIcon::Critical);
        } else {
            EXPECT_TRUE(f.responder.shown().empty());
        }
        EXPECT_EQ(Records(), std::vector<std::string>{Rec("first")});
        EXPECT_EQ(w.lstRecords->count(), 1);
        EXPECT_EQ(w.windowTitle(), "Quillon - " + first);
        EXPECT_EQ(st.session.CurrentFileName, first);
        EXPECT_EQ(Mru(), mruBefore);
    }
}

// ---------------------------------------------------------------------------------------------
// The recent-files list

TEST_F(FilesTest, RecentFilesKeepFourNewestFirstAndTakeTheNewCase)
{
    QStringList paths;
    for (const char* n : {"f1.hl7", "f2.hl7", "f3.hl7", "f4.hl7", "f5.hl7"}) {
        paths << Put(n, FileOf(n));
        Open({paths.back()});
    }
    EXPECT_EQ(Mru(), QStringList({paths[4], paths[3], paths[2], paths[1]}));
    for (QAction* a : w.mnuMRU)
        EXPECT_TRUE(a->isVisible());
    EXPECT_TRUE(w.mnuDash2->isVisible());

    // Listed third; the same path in other letters moves it up and renames the entry.
    const QString upper = Put("F3.HL7", FileOf("F3"));
    Open({upper});
    EXPECT_EQ(Mru(), QStringList({upper, paths[4], paths[3], paths[1]}));
}

// A name holding "&" shows as it is in the File menu (no shortcut mark), is stored as it is and
// opens its file when chosen.
TEST_F(FilesTest, RecentFileWithAnAmpersandShowsAndOpensAsNamed)
{
    const QString rd = Put("R&D.hl7", FileOf("rd"));
    Open({rd});
    Open({Put("other.hl7", FileOf("other"))});
    QMenu* file = w.menuBar()->actions().at(0)->menu();
    ASSERT_EQ(file->title(), "&File");
    file->popup(QPoint(0, 0));  // as the user opens it
    QAction* item = w.mnuMRU[1];
    ASSERT_TRUE(item->isVisible());
    EXPECT_EQ(item->text(), QString(rd).replace("&", "&&"));
    w.SaveMRUList();
    EXPECT_EQ(st.settings.Get("Quillon", "MRUFiles", "1"), rd);
    item->trigger();
    file->hide();
    EXPECT_EQ(Records(), std::vector<std::string>{Rec("rd")});
    EXPECT_EQ(st.session.CurrentFileName, rd);
}

TEST_F(FilesTest, RecentFilesLoadAndSaveThroughTheSettings)
{
    const QString app = "Quillon", sec = "MRUFiles";
    st.settings.Save(app, sec, "0", "/data/X.hl7");
    st.settings.Save(app, sec, "2", "/data/Y.hl7");
    st.settings.Save(app, sec, "3", "/DATA/x.HL7");  // the same file as key "0"
    w.LoadMRUList();
    EXPECT_EQ(Mru(), QStringList({"/data/X.hl7", "/data/Y.hl7"}));
    w.SaveMRUList();
    EXPECT_EQ(st.settings.Get(app, sec, "0"), "/data/X.hl7");
    EXPECT_EQ(st.settings.Get(app, sec, "1"), "/data/Y.hl7");
    EXPECT_EQ(st.settings.Get(app, sec, "2"), "/data/Y.hl7");
    EXPECT_EQ(st.settings.Get(app, sec, "3"), "/DATA/x.HL7");
}

TEST_F(FilesTest, RecentCompressedFileIsDecompressedInTheWorkingFolder)
{
    const QString gz = Pack("r.hl7", FileOf("r"), "gzip");
    const QString plain = Put("p.hl7", FileOf("p"));
    w.AddToMRUList(gz);
    w.AddToMRUList(plain);
    const auto before = Snapshot();
    w.mnuMRU_Click(1);
    EXPECT_TRUE(f.responder.shown().empty());
    EXPECT_EQ(Records(), std::vector<std::string>{Rec("r")});
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(ReadBytes(st.folders.Files2LoadFolder + "r.hl7"), FileOf("r"));
    EXPECT_EQ(Mru(), QStringList({gz, plain}));
}

// ---------------------------------------------------------------------------------------------
// Saving

TEST_F(FilesTest, SaveAllWritesPlainOrEnvelopedRecords)
{
    const struct {
        bool envelope;
        std::string bytes;
        const char* title;
    } cases[] = {
        {false, "A\r\r\nB\r\r\n", "Save All Records (w/o envelope characters)"},
        {true, "\x0b" "A\r\r\x1c\r\x0b" "B\r\r\x1c\r",
         "Save All Records (with envelope characters)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        st.options.DiskUseEnvelope = c.envelope;
        SetRecords({"A\r", "B\r"});
        const QString path = U(c.envelope ? "env.hl7" : "plain.hl7");
        f.responder.QueueFiles({path});
        w.SaveRecords(true);
        EXPECT_EQ(ReadBytes(path), c.bytes);
        ASSERT_FALSE(f.responder.fileDialogs().empty());
        EXPECT_EQ(f.responder.fileDialogs().back().title, c.title);
        EXPECT_TRUE(f.responder.fileDialogs().back().save);
        EXPECT_EQ(st.session.CurrentFileName, path);
        EXPECT_EQ(w.windowTitle(), "Quillon - " + path);
        EXPECT_EQ(st.options.LastFileSavePath, user + "/");
    }
}

TEST_F(FilesTest, SaveSelectedWritesTheSelectedRowsInListOrder)
{
    std::string bytes;
    for (int i = 1; i <= 407; ++i)
        bytes += FileOf("R" + std::to_string(i));
    ASSERT_TRUE(w.LoadHL7File(Put("many.hl7", bytes)));
    w.cmdNextPage_Click();  // rows 1 to 7: records 401 to 407
    ASSERT_EQ(w.lstRecords->count(), 7);
    w.lstRecords->clearSelection();
    w.lstRecords->item(4)->setSelected(true);
    w.lstRecords->item(1)->setSelected(true);
    const QString out = U("sel.hl7");
    f.responder.QueueFiles({out});
    w.mnuRecordListSaveSelectedRecords_Click();
    EXPECT_EQ(ReadBytes(out), Rec("R402") + "\r\n" + Rec("R405") + "\r\n");
    EXPECT_EQ(f.responder.fileDialogs().back().title,
              "Save Selected Records (w/o envelope characters)");
}

TEST_F(FilesTest, SaveAfterSaveAsRewritesThatFile)
{
    SetRecords({"A\r", "B\r"});
    const QString path = U("saved.hl7");
    f.responder.QueueFiles({path});
    w.mnuFileSave_Click();
    st.records.Records[1] = RecordText("C\r");
    w.mnuFileSaveNow_Click();
    EXPECT_EQ(f.responder.fileDialogs().size(), 1u);
    EXPECT_EQ(ReadBytes(path), "C\r\r\nB\r\r\n");
    EXPECT_EQ(w.windowTitle(), "Quillon - " + path);
}

TEST_F(FilesTest, SaveUsesTheDialogWhenRecordsHaveNoFileOfTheirOwn)
{
    const QString own = Put("own.hl7", "original");
    const struct {
        const char* name;
        QString caption, current;
        bool dialog;
    } cases[] = {
        {"OwnFile", "Quillon - " + own, own, false},
        {"TcpIp", "Quillon - Data from TCP/IP", own, true},
        {"Clipboard", "Quillon - data pasted from clipboard", own, true},
        {"FtpGet", "Quillon - FTP Get - host", own, true},
        {"NoCurrentFile", "Quillon", "", true},
        {"WorkingFolder", "Quillon - x", st.folders.Files2LoadFolder + "MultipleFiles.dat", true},
        {"TempFolder", "Quillon - x", st.folders.TempFolder + "t.hl7", true},
        {"FtpFolder", "Quillon - x", st.folders.FTPFolder + "ftp.dat", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(own, "original");
        SetRecords({"A\r"});
        w.setWindowTitle(c.caption);
        st.session.CurrentFileName = c.current;
        const size_t dialogs = f.responder.fileDialogs().size();
        f.responder.QueueFiles({});  // Cancel, when asked
        w.mnuFileSaveNow_Click();
        EXPECT_EQ(f.responder.fileDialogs().size(), dialogs + (c.dialog ? 1 : 0));
        EXPECT_EQ(ReadBytes(own), c.dialog ? "original" : "A\r\r\n");
        EXPECT_EQ(w.windowTitle(), c.caption);
        EXPECT_EQ(st.session.CurrentFileName, c.current);
        f.responder.Clear();
    }
}

TEST_F(FilesTest, SaveProblemsAreReportedAndChangeNothing)
{
    const QString current = Put("current.hl7", "original");
    Put("regular", "x");
    const struct {
        const char* name;
        bool all;
        std::vector<std::string> records;
        QString target;  // empty: no dialog expected
        QString text, title;
    } cases[] = {
        {"MissingFolder", true, {"A\r"}, U("nope/out.hl7"),
         "The records could not be saved to '" + U("nope/out.hl7") + "': ", "Can't Save to Disk"},
        {"UnderARegularFile", true, {"A\r"}, U("regular/out.hl7"),
         "The records could not be saved to '" + U("regular/out.hl7") + "': ",
         "Can't Save to Disk"},
        {"NoRecords", true, {}, "", "There are no records to save.", "No Records to Save"},
        {"NoSelectedRows", false, {"A\r"}, "", "No records were selected for saving.",
         "No Records to Save"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        f.responder.Clear();
        SetRecords(c.records);
        int32_t page = 1;
        w.DisplayPage(page);
        w.lstRecords->clearSelection();
        ASSERT_EQ(w.lstRecords->count(), static_cast<int>(c.records.size()));
        w.setWindowTitle("Quillon - " + current);
        st.session.CurrentFileName = current;
        st.options.LastFileSavePath = user + "/";
        if (!c.target.isEmpty())
            f.responder.QueueFiles({c.target});
        w.SaveRecords(c.all);
        EXPECT_EQ(f.responder.fileDialogs().size(), c.target.isEmpty() ? 0u : 1u);
        ASSERT_EQ(f.responder.shown().size(), 1u);
        EXPECT_TRUE(f.responder.shown().front().text.startsWith(c.text))
            << f.responder.shown().front().text.toStdString();
        EXPECT_EQ(f.responder.shown().front().title, c.title);
        EXPECT_EQ(st.session.CurrentFileName, current);
        EXPECT_EQ(w.windowTitle(), "Quillon - " + current);
        EXPECT_EQ(st.options.LastFileSavePath, user + "/");
        EXPECT_EQ(ReadBytes(current), "original");
        EXPECT_FALSE(QFileInfo::exists(c.target));
    }
}

TEST_F(FilesTest, SavesThatRunOutOfSpaceGiveTheSystemsReasonAndKeepTheOldFile)
{
    const FullFolder full;
    if (!full.Ok())
        GTEST_SKIP() << full.Error().toStdString();
    const QString old = full.FilePath("old.hl7");
    const struct {
        const char* name;
        QAction* item;
        QString text, title;
    } cases[] = {
        {"SaveAs", w.mnuFileSave,
         "The records could not be saved to '" + old + "': No space left on device",
         "Can't Save to Disk"},
        {"Save", w.mnuFileSaveNow, "Can't save to that drive.\r\nNo space left on device",
         "Can't Save to Disk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        f.responder.Clear();
        WriteBytes(old, "old\r\n");
        // About 100 KiB: more than the folder's file system holds.
        SetRecords(std::vector<std::string>(1000, "MSH|" + std::string(100, 'x') + "\r"));
        int32_t page = 1;
        w.DisplayPage(page);
        w.setWindowTitle("Quillon - " + old);
        st.session.CurrentFileName = old;
        f.responder.QueueFiles({old});
        ASSERT_TRUE(ChooseMenuItem(c.item));
        ASSERT_EQ(f.responder.shown().size(), 1u);
        EXPECT_EQ(f.responder.shown()[0].text.toStdString(), c.text.toStdString());
        EXPECT_EQ(f.responder.shown()[0].title, c.title);
        EXPECT_EQ(ReadBytes(old), "old\r\n");
        EXPECT_EQ(QDir(QFileInfo(old).path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"old.hl7"});  // nothing left beside it
    }
}

// ---------------------------------------------------------------------------------------------
// New

TEST_F(FilesTest, NewEmptiesTheWindowAndKeepsTheCurrentFile)
{
    std::string bytes;
    for (int i = 1; i <= 401; ++i)
        bytes += FileOf("N" + std::to_string(i));
    const QString path = Put("big.hl7", bytes);
    Open({path});
    ASSERT_TRUE(w.cmdNextPage->isEnabled());
    ASSERT_TRUE(w.tbarButtons[3]->isEnabled() && w.tbarButtons[12]->isEnabled());
    w.lblTCPIPcount->setText("Count: 12");
    w.mnuFileNew_Click();
    EXPECT_EQ(w.lblTCPIPcount->text(), "Count:");
    EXPECT_EQ(w.lstRecords->count() + w.lstSegments->count() + w.lstFields->count(), 0);
    EXPECT_EQ(st.records.RecordCount, 0);
    EXPECT_EQ(w.windowTitle(), "Quillon");
    for (int b : {3, 4, 6, 9, 12, 13, 15, 16})
        EXPECT_FALSE(w.tbarButtons[static_cast<size_t>(b)]->isEnabled()) << "button " << b;
    for (QPushButton* b : {w.cmdFirstPage, w.cmdPrevPage, w.cmdNextPage, w.cmdLastPage})
        EXPECT_FALSE(b->isEnabled());
    EXPECT_EQ(st.session.CurrentFileName, path);
}

}  // namespace
}  // namespace quillon::test
