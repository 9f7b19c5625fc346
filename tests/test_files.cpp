// The File commands of the main window: New, Open (plain, joined and compressed files), the
// recent-files list, Save and Save As.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTreeWidget>

#include "BackgroundSupport.h"
#include "FtpTestServer.h"
#include "TestSupport.h"
#include "app/TraceLog.h"
#include "files/Manual.h"
#include "ftp/frmFTP.h"
#include "platform/FtpControl.h"
#include "platform/QtDialogs.h"
#include "platform/WinsockControl.h"
#include "platform/SettingsStore.h"
#include "records/UndoRing.h"
#include "reports/frmExportReport.h"
#include "reports/frmReport.h"
#include "tcpip/ClientConfig.h"
#include "tcpip/frmClientConfig.h"
#include "tcpip/frmServerConfig.h"

namespace quillon::test {
namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

// Message boxes are the real ones; file dialogs answer as queued.
class RealBoxes : public platform::ScriptedResponder {
public:
    MsgAnswer MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon,
                     const QString& title) override
    {
        return real.MsgBox(text, buttons, icon, title);
    }
    MsgAnswer MsgBoxDefault(const QString& text, MsgButtons buttons, MsgIcon icon,
                            const QString& title, MsgAnswer defaultAnswer) override
    {
        return real.MsgBoxDefault(text, buttons, icon, title, defaultAnswer);
    }
    platform::QtDialogs real;
};

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
    const auto many = [] {
        std::string text;
        for (int i = 0; text.size() < 400000; ++i)
            text += "MSH|^~\\&|" + std::to_string(i * 7919 % 100003) + "\r";
        return text;
    };
    const auto cutInHalf = [](const QString& path) {
        WriteBytes(path, ReadBytes(path).substr(0, QFileInfo(path).size() / 2));
        return QStringList{path};
    };
    const QString kUnzip = QStringLiteral("Can't Unzip/Uncompress File");
    FtpTestServer ftp;
    ASSERT_TRUE(ftp.Start()) << ftp.Error().toStdString();
    // FTP > View as HL7 of the first of these files of the server.
    const auto viewOnFtp = [&](const QStringList& names) {
        OnNextModal<frmFTP>([&ftp, names](frmFTP* window) {
            window->cboHostNames->setEditText(QStringLiteral("127.0.0.1:%1").arg(ftp.Port()));
            window->txtUserName->setText(QStringLiteral("user"));
            window->txtPassword->setText(QStringLiteral("secret"));
            window->cmdConnect_Click();
            // The list's file types leave the name out: it is given as the user could type it.
            window->lvFileList->setCurrentItem(new QTreeWidgetItem(window->lvFileList, {names.front()}));
            window->cmdOpen_Click();
        });
        w.mnuFTPReceive_Click();
    };
    struct Case {
        const char* name;
        std::function<QStringList(FilesTest&)> prepare;
        const char* text;  // the box's text starts with it ("" no box)
        const char* ends;
        QString title;
        bool onFtp = false;  // the files prepared are viewed from the FTP server, not opened
    };
    const Case cases[] = {
        {"GzipWillNotOverwrite",
         [](FilesTest& t) {
             const QString gz = t.Pack("x.hl7", FileOf("gz"), "gzip");
             return QStringList{t.Put("x.hl7", FileOf("plain")), gz};
         },
         "The file 'x.hl7.gz' could not be decompressed.", "", kUnzip},
        {"NotGzipData", [](FilesTest& t) { return QStringList{t.Put("bad.gz", "plain text")}; },
         "The file does not appear to be a zipped/compressed file.", "(retval=1)", kUnzip},
        // gzip writes part of the file before it finds the damage: none of it is loaded.
        {"TruncatedGzip", [&](FilesTest& t) { return cutInHalf(t.Pack("cut.hl7", many(), "gzip")); },
         "The compressed file 'cut.hl7.gz' is damaged: unexpected end of file.  Therefor, the HL7 "
         "messages can not be displayed.",
         "(retval=1)", kUnzip},
        // The same, with another file beside it: nothing is loaded.
        {"DamagedGzipAmongOthers",
         [&](FilesTest& t) {
             const QString gz = t.Pack("bad.hl7", many(), "gzip");
             std::string bytes = ReadBytes(gz);
             bytes[bytes.size() - 6] ^= 0x55;
             WriteBytes(gz, bytes);
             return QStringList{t.Put("a.hl7", FileOf("a")), gz};
         },
         "The compressed file 'bad.hl7.gz' is damaged: invalid compressed data--crc error.", "(retval=1)",
         kUnzip},
        {"DamagedCompress",
         [&](FilesTest& t) {
             const QString z = t.Pack("bad.hl7", many(), "compress");
             std::string bytes = ReadBytes(z);
             bytes.replace(1000, 100, std::string(100, '\xff'));
             WriteBytes(z, bytes);
             return QStringList{z};
         },
         "The compressed file 'bad.hl7.Z' is damaged: corrupt input.", "(retval=1)", kUnzip},
        // The archive's own message names the damage; what it let out is not loaded.
        {"DamagedZip",
         [](FilesTest& t) {
             t.Put("a.hl7", FileOf("a"));
             t.Put("b.hl7", FileOf("b-entry"));
             Run(t.user, "zip", {"-q0", "c.zip", "a.hl7", "b.hl7"});
             std::string bytes = ReadBytes(t.U("c.zip"));
             bytes.replace(bytes.find("b-entry"), 7, "B-ENTRY");
             WriteBytes(t.U("c.zip"), bytes);
             return QStringList{t.U("c.zip")};
         },
         "Archive:", "", QStringLiteral("Quillon")},
        {"Cancel", [](FilesTest&) { return QStringList{}; }, "", "", ""},
        {"FtpViewOfTruncatedGzip",
         [&](FilesTest& t) {
             const QString gz = cutInHalf(t.Pack("cut.hl7", many(), "gzip")).front();
             ftp.WriteFile(QStringLiteral("cut.hl7.gz"), QByteArray::fromStdString(ReadBytes(gz)));
             return QStringList{QStringLiteral("cut.hl7.gz")};
         },
         "The compressed file 'cut.hl7.gz' is damaged: unexpected end of file.", "(retval=1)", kUnzip,
         true},
        // The end-of-central-directory record alone: a valid archive without entries.
        {"EmptyZip",
         [](FilesTest& t) {
             return QStringList{t.Put("e.zip", std::string("PK\x05\x06", 4) + std::string(18, 0))};
         },
         "", "", ""},
    };
    // Three records of two segments; the second one is clicked.
    std::vector<std::string> three;
    std::string firstFile;
    for (const char* tag : {"one", "two", "three"}) {
        three.push_back(Rec(tag) + "PID|1||" + tag + "^^^X||DOE^" + tag + "\r");
        firstFile += three.back() + "\n";
    }
    // What the window shows of the records: labels, and each list's rows, selection and
    // current row.
    const auto shown = [&] {
        std::string out = (w.lblFile->text() + " " + w.lblPageOf->text()).toStdString();
        for (const ListBox* list : {w.lstRecords, w.lstSegments, w.lstFields}) {
            out += "\n-- current " + std::to_string(list->currentRow());
            for (int i = 0; i < list->count(); ++i)
                out += (list->item(i)->isSelected() ? "\n* " : "\n  ") + list->item(i)->text().toStdString();
        }
        return out;
    };
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(user).removeRecursively();
        QDir().mkpath(user);
        const QString first = Put("first.hl7", firstFile);
        Open({first});
        ASSERT_EQ(Records(), three);
        QTest::mouseClick(w.lstRecords->viewport(), Qt::LeftButton, {},
                          w.lstRecords->visualItemRect(w.lstRecords->item(1)).center());
        QTest::qWait(50);  // the click's handler runs at the next turn
        // Each of these commands first switches any view off, which shows the record afresh.
        w.mnuViewsDisable_Click();
        const std::string before = shown();
        ASSERT_EQ(before.rfind("Rec 2/3 Pg 1/1\n-- current 1", 0), 0u) << before;
        f.responder.Clear();
        const QStringList mruBefore = Mru();

        QElapsedTimer timer;
        timer.start();
        if (c.onFtp)
            viewOnFtp(c.prepare(*this));
        else
            Open(c.prepare(*this));
        EXPECT_LT(timer.elapsed(), 30000);
        EXPECT_EQ(f.responder.fileDialogs().size(), c.onFtp ? 0u : 1u);
        if (*c.text) {
            ASSERT_EQ(f.responder.shown().size(), 1u);
            const auto& box = f.responder.shown().front();
            EXPECT_TRUE(box.text.startsWith(c.text)) << box.text.toStdString();
            EXPECT_TRUE(box.text.endsWith(c.ends)) << box.text.toStdString();
            EXPECT_EQ(box.title, c.title);
            EXPECT_EQ(box.icon, c.title == kUnzip ? MsgIcon::Critical : MsgIcon::None);
        } else {
            EXPECT_TRUE(f.responder.shown().empty());
        }
        EXPECT_EQ(Records(), three);
        EXPECT_EQ(shown(), before);
        EXPECT_TRUE(w.lstRecords->isEnabled());
        EXPECT_EQ(w.windowTitle(), "Quillon - " + first);
        EXPECT_EQ(st.session.CurrentFileName, first);
        EXPECT_EQ(Mru(), mruBefore);
    }
}

// A named pipe no one writes to. Should a reader ever wait on it, a writer comes within 10 s and
// goes, so a test of that fault fails instead of hanging.
class PipeWithoutWriter {
public:
    explicit PipeWithoutWriter(const QString& path) : path_(QFile::encodeName(path))
    {
        ok_ = mkfifo(path_.constData(), 0600) == 0;
        rescuer_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            while (!done_.wait_for(lock, std::chrono::seconds(10), [this] { return finished_; }))
                if (const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK); fd >= 0)
                    ::close(fd);
        });
    }
    ~PipeWithoutWriter()
    {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        rescuer_.join();
    }
    bool Ok() const { return ok_; }

private:
    QByteArray path_;
    bool ok_ = false;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread rescuer_;
};

// Whatever way a user's file is read, a named pipe is refused before it is read, and the records
// shown stay. One name goes through the real dialog and boxes; several names go through the
// scripted dialog, since Qt's own dialog lists no pipes to pick beside other files (a desktop's
// dialog may).
TEST(FilesThatAreNoFiles, NamedPipeIsRefusedOnEveryWayIn)
{
    platform::QtDialogs dialogs;
    MainWindowFixture real(&dialogs), scripted;
    const QString user = real.home.filePath(QStringLiteral("user"));
    ASSERT_TRUE(QDir().mkpath(user));
    const auto U = [&user](const QString& name) { return user + QLatin1Char('/') + name; };
    WriteBytes(U("first.hl7"), FileOf("first"));
    WriteBytes(U("a.hl7"), FileOf("a"));
    WriteBytes(U("b.hl7"), FileOf("b"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("gzip"), {QStringLiteral("-f"), U("b.hl7")}), 0);
    PipeWithoutWriter pipe(U("pipe.hl7")), gzPipe(U("pipe.gz"));
    ASSERT_TRUE(pipe.Ok() && gzPipe.Ok());
    real.state.options.LastFileOpenPath = user;

    enum class Way { Open, Recent, CommandLine };
    const struct {
        const char* name;
        Way way;
        QStringList chosen;
        const char* refused;
    } cases[] = {
        {"a pipe", Way::Open, {"pipe.hl7"}, "pipe.hl7"},
        {"named as compressed", Way::Open, {"pipe.gz"}, "pipe.gz"},
        {"among several files", Way::Open, {"a.hl7", "pipe.hl7"}, "pipe.hl7"},
        {"beside a compressed file", Way::Open, {"b.hl7.gz", "pipe.hl7"}, "pipe.hl7"},
        {"a recent file", Way::Recent, {"pipe.hl7"}, "pipe.hl7"},
        {"a recent compressed file", Way::Recent, {"pipe.gz"}, "pipe.gz"},
        {"the command line", Way::CommandLine, {"pipe.hl7"}, "pipe.hl7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool several = c.chosen.size() > 1;
        MainWindowFixture& f = several ? scripted : real;
        frmMain& w = *f.window;
        f.state.session.CommandLineFile = U("first.hl7");
        w.Form_Activate();
        ASSERT_EQ(f.state.records.RecordCount, 1);
        f.responder.Clear();

        QStringList boxes;
        auto answer = AnswerModals([&](QWidget& modal) {
            if (auto* dialog = qobject_cast<QFileDialog*>(&modal)) {
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                name->setText(c.chosen.front());
                QTest::keyClick(name, Qt::Key_Return);
            } else if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
                // Without the breaks a long word gets for wrapping.
                boxes << box->windowTitle() + QStringLiteral(": ") + box->text().remove(QChar(0x200B));
                box->accept();
            } else {
                modal.close();
            }
        });
        QStringList paths;
        for (const QString& name : c.chosen)
            paths << U(name);
        QElapsedTimer clock;
        clock.start();
        if (c.way == Way::Open) {
            f.responder.QueueFiles(paths);
            ASSERT_TRUE(ChooseMenuItem(w.mnuFileOpen));
        } else if (c.way == Way::Recent) {
            w.AddToMRUList(paths.front());
            w.mnuMRU[0]->trigger();
        } else {
            f.state.session.CommandLineFile = paths.front();
            w.Form_Activate();
        }
        answer.reset();
        EXPECT_LT(clock.elapsed(), 10000);
        for (const auto& box : f.responder.shown())
            boxes << box.title + QStringLiteral(": ") + box.text;
        EXPECT_EQ(boxes.join(QLatin1Char('|')).toStdString(),
                  QStringLiteral("Can't Read File: The file '%1' cannot be read: It is a named pipe, not a file.")
                      .arg(U(QLatin1String(c.refused)))
                      .toStdString());
        EXPECT_EQ(f.state.records.RecordCount, 1);
        EXPECT_EQ(w.windowTitle().toStdString(), ("Quillon - " + U("first.hl7")).toStdString());
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

// With the administrator's File Open switch on, the recent-files entries are disabled when the
// File menu opens and open nothing, however chosen: the reproduction is a restart with a listed
// file and the switch set in the settings.
TEST_F(FilesTest, RecentFilesFollowTheFileOpenSwitch)
{
    const QString path = Put("listed.hl7", FileOf("L"));
    QMenu* file = w.menuBar()->actions().at(0)->menu();
    const std::map<std::string, std::function<void()>> routes = {
        {"click",
         [&] {
             QTest::mouseClick(file, Qt::LeftButton, {},
                               file->actionGeometry(w.mnuMRU[0]).center());
         }},
        {"keyboard",
         [&] {
             file->setActiveAction(w.mnuMRU[0]);
             QTest::keyClick(file, Qt::Key_Return);
         }},
        {"handler", [&] { w.mnuMRU_Click(0); }},
    };
    for (const bool locked : {false, true})
        for (const auto& [route, choose] : routes) {
            SCOPED_TRACE(route + (locked ? " locked" : ""));
            w.mnuFileNew_Click();
            st.session.CurrentFileName.clear();
            st.settings.Save("Quillon", "MRUFiles", "0", path);
            st.settings.Save("Quillon", "AdminFileOpen", "0", locked ? "True" : "False");
            w.Form_Load();
            ASSERT_EQ(Mru(), QStringList{path});
            file->popup(QPoint(0, 0));
            EXPECT_EQ(w.mnuMRU[0]->isEnabled(), !locked);
            EXPECT_NE(w.mnuFileOpen->isEnabled(), locked);
            choose();
            file->hide();
            EXPECT_EQ(st.session.CurrentFileName, locked ? QString() : path);
            EXPECT_EQ(Records(),
                      locked ? std::vector<std::string>{} : std::vector<std::string>{Rec("L")});
        }
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

// Every file the program writes, over a file already there on a disk that runs out of space:
// the failure is told (a box, the status bar or the caller's result, with the system's reason
// where the writer has one) and the old bytes stay as they were, with nothing left beside them.
// Writes smaller than a write buffer, and those that end within the last 16 KiB of the disk,
// are the ones whose failure a buffered writer let pass unseen.
TEST_F(FilesTest, SavesThatRunOutOfSpaceGiveTheSystemsReasonAndKeepTheOldFile)
{
    const QString full = QStringLiteral("No space left on device");
    const auto records = [](int count, size_t size) {
        return std::vector<std::string>(static_cast<size_t>(count),
                                        "MSH|" + std::string(size - 5, 'x') + "\r");
    };
    // Every box's text since the writer began.
    const auto boxes = [this] {
        QStringList texts;
        for (const auto& shown : f.responder.shown())
            texts << shown.text;
        return texts.join("\n\n");
    };
    const auto show = [this](const std::vector<std::string>& recs, const QString& current) {
        SetRecords(recs);
        int32_t page = 1;
        w.DisplayPage(page);
        w.setWindowTitle("Quillon - " + current);
        st.session.CurrentFileName = current;
    };
    const auto menuSave = [&](QAction* item, std::vector<std::string> recs) {
        return [&, item, recs](const QString& path) {
            show(recs, path);
            f.responder.QueueFiles({path});
            EXPECT_TRUE(ChooseMenuItem(item));
            return boxes();
        };
    };
    const auto waitFor = [](const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    };
    const std::string configLine = "3000,0,11,13,28,1,MSA|AA,0b 06 1c 0d,0,\"\",\"\"\r\n";
    // A file that gzip and zip shrink below one page of the file system.
    std::string plain;
    for (int i = 0; i < 2000; ++i)
        plain += "MSH|^~\\&|A|B|||20260101||ADT^A01|1|P|2.3\r\n";
    FtpTestServer ftpServer;
    const auto ftpGet = [&](bool append) {
        return [&, append](const QString& path) {
            platform::FtpControl ftp;
            ftp.setHost(QStringLiteral("127.0.0.1"));
            ftp.setPort(ftpServer.Port());
            ftp.setUserName(QStringLiteral("user"));
            ftp.setPassword(QStringLiteral("secret"));
            EXPECT_EQ(ftp.Connect(), platform::ftp_result::Ok);
            ftp.setTransferType(platform::ftp_type::Binary);
            ftp.setLocalAppend(append);
            EXPECT_EQ(ftp.Get(path, QStringLiteral("get.hl7")), platform::ftp_result::LocalFileError);
            return ftp.LastErrorText();
        };
    };
    // Texts that what was told must hold, each.
    struct Parts : QStringList {
        Parts(const QString& one) : QStringList{one} {}
        Parts(const char* one) : QStringList{QString(one)} {}
        Parts(std::initializer_list<QString> all) : QStringList(all) {}
    };

    const struct Writer {
        const char* name;
        QString file;                    // written in the full folder
        std::optional<std::string> old;  // the bytes there before, none: no file
        qint64 room;                     // left by filling the disk; -1: not filled
        int kib;                         // the disk's size
        std::function<QString(const QString& path)> write;  // answers what was told
        Parts told;                      // what that must hold
        QStringList left = {};           // files the folder holds afterwards besides `file`
    } writers[] = {
        {"SaveAsSmall", "old.hl7", "old\r\n", 0, 64, menuSave(w.mnuFileSave, records(2, 150)),
         "The records could not be saved to '%1': " + full},
        {"SaveSmall", "old.hl7", "old\r\n", 0, 64, menuSave(w.mnuFileSaveNow, records(20, 150)),
         "Can't save to that drive.\r\n" + full},
        {"SaveLarge", "old.hl7", "old\r\n", -1, 64,
         menuSave(w.mnuFileSaveNow, records(1000, 105)), "Can't save to that drive.\r\n" + full},
        {"SaveAsEndingInTheLast16KiB", "old.hl7", "old\r\n", -1, 1028,
         menuSave(w.mnuFileSave, records(1052, 1000)),
         "The records could not be saved to '%1': " + full},
        {"SortedFile", "SortedFile.dat", "old\r\n", 0, 64,
         [&](const QString& path) {
             st.folders.TempFolder = QFileInfo(path).path() + "/";
             show({Rec("B|||20260102"), Rec("A|||20260101")}, "sorted.hl7");
             EXPECT_TRUE(ChooseMenuItem(w.mnuToolsSortMSH7));
             return boxes();
         },
         "The sorted records could not be written to '%1': " + full},
        {"UndoPoint", "undo.dat", "old\r\n", 0, 64,
         [&](const QString& path) {
             QString error;
             EXPECT_FALSE(WriteUndoFile(
                 path, std::vector<RecordText>{RecordText(), RecordText(Rec("A")), RecordText(Rec("B"))},
                 &error));
             return error;
         },
         full},
        {"FtpPutHandOver", "ftp.dat", "old\r\n", 0, 64,
         [&](const QString& path) {
             SetRecords({Rec("A")});
             EXPECT_FALSE(w.WriteFtpPutFile(path));
             return boxes();
         },
         full},
        {"ExportThroughItsWindow", "old.txt", "old\r\n", 0, 64,
         [&](const QString& path) {
             frmReport report;
             report.lvReportList->setHeaderLabels({"PID-5"});
             report.lvReportList->addTopLevelItem(new QTreeWidgetItem({"SMITH^JOHN"}));
             report.dictionary = &st.dictionary;
             report.dialogs = &f.responder;
             report.settings = &st.settings;
             report.mainWindow = &w;
             frmExportReport window(report);
             f.responder.QueueFiles({path});
             window.cmdExport->click();
             return boxes();
         },
         full},
        {"ReportDefinition", "old.report", "PID-5\r\n", 0, 64,
         [&](const QString& path) {
             st.folders.ReportsFolder = QFileInfo(path).path() + "/";
             f.responder.QueueInput(QStringLiteral("old"));
             EXPECT_FALSE(w.SaveReportAs({"PID-3", "PID-5"}));
             return boxes();
         },
         full},
        {"View", "old.view", "PID-5\r\n", 0, 64,
         [&](const QString& path) {
             st.folders.ViewsFolder = QFileInfo(path).path() + "/";
             EXPECT_TRUE(w.LoadHL7File(Put("view.hl7", "MSH|^~\\&|A\rPID|1||ID1||DOE\r")));
             w.lstFields->item(0)->setSelected(true);
             f.responder.QueueInput(QStringLiteral("old"));
             w.mnuFieldListCreateView_Click();
             return boxes();
         },
         full},
        {"Settings", "old.settings", "[Quillon\\Options]\r\nKept=1\r\n", 0, 64,
         [&](const QString& path) {
             platform::SettingsStore store;
             EXPECT_TRUE(store.Open(path));
             return store.Save("Quillon", "Options", "New", "2") ? QString("saved")
                                                                  : QString("not saved");
         },
         "not saved"},
        {"SettingsAtFileExit", "old.settings", "[Quillon\\Options]\r\nKept=1\r\n", 0, 64,
         [&](const QString& path) {
             MainWindowFixture leaving;  // File > Exit from its event loop, as the program runs
             EXPECT_TRUE(leaving.state.settings.Open(path));
             QAction* exit = leaving.window->mnuFileExit;
             QTimer::singleShot(0, exit, [exit] { exit->trigger(); });
             QTimer::singleShot(5000, exit, [] { QApplication::exit(1); });
             EXPECT_EQ(QApplication::exec(), 0);
             return leaving.responder.shown().empty() ? "" : leaving.responder.shown()[0].text;
         },
         "The options and recent files could not be saved to '%1': " + full},
        {"ServerConfiguration", "old.server", configLine, 0, 64,
         [&](const QString& path) {
             frmServerConfig window(st, f.responder, path);
             f.responder.QueueFiles({path});
             window.mnuFileSaveAs->trigger();
             return boxes();
         },
         "Unanticipated error 75"},
        {"ClientConfiguration", "old.client", std::string(kDefaultClientConfigLine) + "\r\n", 0,
         64,
         [&](const QString& path) {
             frmClientConfig window(st, f.responder, path);
             f.responder.QueueFiles({path});
             window.mnuFileSaveAs->trigger();
             return boxes();
         },
         "Unanticipated error 75"},
        // Appends: more than the page the old bytes lie in still holds, so part of it fits.
        {"TraceLog", "old.log", "old\r\n", 0, 64,
         [&](const QString& path) {
             st.folders.LogsFolder = QFileInfo(path).path() + "/";
             st.trace.LogFilename = QStringLiteral("old.log");
             st.trace.WriteFailureReported = false;
             WriteLog(st, "TEST", std::string(10000, 'x'));
             return w.stsBar->currentMessage();
         },
         "The trace log cannot be written: %1: " + full},
        {"ReceivedMessagesLog", "old.dat", "old\r\n", 0, 64,
         [&](const QString& path) {
             SetRecords({Rec("A")});  // the record arriving is not the first shown
             QString error;
             QTcpServer probe;
             EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
             st.server.LocalPort = probe.serverPort();
             probe.close();
             w.Winsock1->setListenAddress(QStringLiteral("127.0.0.1"));
             EXPECT_TRUE(w.StartListening(&error)) << error.toStdString();
             st.server.ServerLogFile = path;
             if (!w.chkLogToDisk->isChecked())
                 w.chkLogToDisk->click();
             QTcpSocket client;
             client.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(st.server.LocalPort));
             const std::string frame = "\x0b" + Rec(std::string(10000, 'x')) + "\x1c\r";
             EXPECT_TRUE(waitFor([&] { return client.state() == QAbstractSocket::ConnectedState; }));
             client.write(frame.data(), static_cast<qint64>(frame.size()));
             EXPECT_TRUE(waitFor([&] { return st.records.RecordCount == 2; }));
             const QString told = w.stsPanels[4]->text();
             client.abort();
             w.StopListening();
             return told;
         },
         "Received records cannot be logged to %1: " + full},
        {"FtpGet", "old.hl7", "old\r\n", 0, 64, ftpGet(false), full},
        {"FtpGetAppending", "old.hl7", "old\r\n", 0, 64, ftpGet(true), full},
        // Into the working folder: room for the compressed copy, not for what it holds.
        {"GzipIntoFiles2Load", "p.hl7", std::nullopt, 4096, 64,
         [&](const QString& path) {
             st.folders.Files2LoadFolder = QFileInfo(path).path() + "/";
             f.responder.QueueFiles({Pack("p.hl7", plain, "gzip")});
             EXPECT_TRUE(ChooseMenuItem(w.mnuFileOpen));
             return boxes();
         },
         {"The file 'p.hl7.gz' could not be decompressed.", full}, {"p.hl7.gz"}},
        {"GzipPairIntoFiles2Load", "p.hl7", std::nullopt, 8192, 64,
         [&](const QString& path) {
             st.folders.Files2LoadFolder = QFileInfo(path).path() + "/";
             f.responder.QueueFiles({Pack("p.hl7", plain, "gzip"), Pack("q.hl7", plain, "gzip")});
             EXPECT_TRUE(ChooseMenuItem(w.mnuFileOpen));
             return boxes();
         },
         {"The file 'p.hl7.gz' could not be decompressed.", full}, {"p.hl7.gz", "q.hl7.gz"}},
        {"ZipIntoFiles2Load", "z.hl7", std::nullopt, 4096, 64,
         [&](const QString& path) {
             st.folders.Files2LoadFolder = QFileInfo(path).path() + "/";
             Put("z.hl7", plain);
             Run(user, "zip", {"-q", "z.zip", "z.hl7"});
             f.responder.QueueFiles({U("z.zip")});
             EXPECT_TRUE(ChooseMenuItem(w.mnuFileOpen));
             return boxes();
         },
         full},
        {"CopyIntoFiles2Load", "p.hl7.gz", std::nullopt, 0, 64,
         [&](const QString& path) {
             st.folders.Files2LoadFolder = QFileInfo(path).path() + "/";
             f.responder.QueueFiles({Pack("p.hl7", plain, "gzip")});
             EXPECT_TRUE(ChooseMenuItem(w.mnuFileOpen));
             return boxes();
         },
         full},
        {"JoinIntoFiles2Load", "MultipleFiles.dat", std::nullopt, 0, 64,
         [&](const QString& path) {
             st.folders.Files2LoadFolder = QFileInfo(path).path() + "/";
             f.responder.QueueFiles({Put("j1.hl7", FileOf("J1")), Put("j2.hl7", FileOf("J2"))});
             EXPECT_TRUE(ChooseMenuItem(w.mnuFileOpen));
             return boxes();
         },
         "The chosen files could not be joined: " + full},
        {"DescriptionFile", "fsa.dat", std::nullopt, 0, 64,
         [&](const QString& path) {
             st.folders.DataRoot = QFileInfo(path).path() + "/";
             w.LoadDescriptionFiles();
             return boxes();
         },
         "The description file '%1' could not be installed."},
        {"ZSegmentsFile", "z-segments.dat", std::nullopt, 0, 64,
         [&](const QString& path) {
             st.folders.DataRoot = QFileInfo(path).path() + "/";
             w.mnuToolsEditZSegments_Click();
             return boxes();
         },
         "The file '%1' could not be created: " + full},
        {"Manual", "Manual.pdf", std::nullopt, 0, 64,
         [&](const QString& path) {
             return InstallManual(QFileInfo(path).path() + "/") ? QString("installed")
                                                                : QString("not installed");
         },
         "not installed"},
        {"PrintToPdf", "old.pdf", "old\r\n", 0, 64,
         [&](const QString& path) {
             EXPECT_TRUE(w.LoadHL7File(Put("print.hl7", "MSH|^~\\&|A\rPID|1||ID1||DOE\r")));
             f.responder.QueuePrint(platform::PrintChoice{1, 1, false, {}, path});
             w.mnuRecordListPrint_Click();
             return boxes();
         },
         full},
    };
    ASSERT_TRUE(ftpServer.Start()) << ftpServer.Error().toStdString();
    ftpServer.WriteFile(QStringLiteral("get.hl7"), QByteArray(20000, 'g'));
    const DataFolders folders = st.folders;
    for (const Writer& c : writers) {
        SCOPED_TRACE(c.name);
        st.folders = folders;
        FullFolder folder(c.kib);
        if (!folder.Ok())
            GTEST_SKIP() << folder.Error().toStdString();
        const QString path = folder.FilePath(c.file);
        if (c.old)
            WriteBytes(path, *c.old);
        if (c.room >= 0)
            folder.Fill(c.room);
        f.responder.Clear();
        const QString told = c.write(path);
        for (const QString& part : c.told)
            EXPECT_TRUE(told.contains(part.contains("%1") ? part.arg(path) : part))
                << told.toStdString();
        const std::string now = ReadBytes(path);
        if (c.old)
            EXPECT_TRUE(now == *c.old) << "now " << now.size() << " bytes: " << now.substr(0, 40);
        else
            EXPECT_FALSE(QFileInfo::exists(path));
        QStringList expected = c.left;
        if (c.old)
            expected << c.file;
        expected.sort();
        EXPECT_EQ(QDir(folder.FilePath(".")).entryList(QDir::Files | QDir::Hidden, QDir::Name)
                      .join(" ")
                      .toStdString(),
                  expected.join(" ").toStdString());  // nothing left beside it
    }
    ftpServer.Stop();
}

// A file that changed after the records were read from it or written to it (grew, or was
// rewritten at the same size) is replaced by Save only when the user says so; a file gone
// meanwhile is written again without asking. Loaded by File > Open, a recent-files entry, the
// command line, or written by Save As.
TEST_F(FilesTest, SaveAsksBeforeReplacingAFileThatChangedSinceItWasRead)
{
    RealBoxes boxes;
    MainWindowFixture real(&boxes);
    frmMain& rw = *real.window;
    AppState& rs = real.state;
    const QString path = U("log.hl7");
    const std::string first = FileOf("A") + FileOf("B");
    const std::string grown = first + FileOf("C");
    const std::string saved = Rec("A") + "\r\n" + Rec("B") + "\r\n";
    const auto grow = [&] { WriteBytes(path, grown); };
    const auto rewrite = [&] {  // same size, later time
        WriteBytes(path, FileOf("X") + FileOf("Y"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(QDateTime::currentDateTime().addSecs(5),
                         QFileDevice::FileModificationTime);
    };
    const auto remove = [&] { QFile::remove(path); };
    const auto keep = [] {};
    const std::map<std::string, std::function<void()>> loads = {
        {"open",
         [&] {
             boxes.QueueFiles({path});
             rw.mnuFileOpen_Click();
         }},
        {"recent",
         [&] {
             rw.AddToMRUList(path);
             ASSERT_TRUE(ChooseMenuItem(rw.mnuMRU[0]));
         }},
        {"command line",
         [&] {
             rs.session.CommandLineFile = path;
             rw.Form_Activate();
         }},
        {"sorted",
         [&] {  // the sorted file becomes the current one; Save then asks for a name
             boxes.QueueFiles({path});
             rw.mnuFileOpen_Click();
             rw.mnuToolsSortMSH7_Click();
             boxes.QueueFiles({path});
         }},
        {"save as",
         [&] {
             boxes.QueueFiles({U("other.hl7")});
             rw.mnuFileOpen_Click();
             boxes.QueueFiles({path});
             rw.mnuFileSave_Click();
         }},
    };
    const struct {
        const char* load;
        std::function<void()> change;
        std::optional<MsgAnswer> answer;  // none: no box
        std::string after;
        bool saveAs = false;  // File > Save As onto the same file instead of File > Save
    } cases[] = {
        {"open", keep, {}, saved},
        {"open", grow, MsgAnswer::No, grown},
        {"open", grow, MsgAnswer::Yes, saved},
        {"open", rewrite, MsgAnswer::No, FileOf("X") + FileOf("Y")},
        {"open", remove, {}, saved},
        {"recent", grow, MsgAnswer::No, grown},
        {"command line", grow, MsgAnswer::Yes, saved},
        {"save as", keep, {}, saved},
        {"save as", grow, MsgAnswer::No, grown},
        {"open", grow, MsgAnswer::No, grown, true},
        {"sorted", grow, MsgAnswer::No, grown},
    };
    WriteBytes(U("other.hl7"), first);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.load)
                     + (c.answer ? (*c.answer == MsgAnswer::Yes ? " yes" : " no") : "")
                     + (c.saveAs ? " save as" : ""));
        QStringList shown;
        auto answer = AnswerModals([&](QWidget& box) {
            auto* message = qobject_cast<QMessageBox*>(&box);
            if (!message)
                return;  // the sort's progress window
            // As read: without the breaks the box may put into long words or lines.
            shown << message->windowTitle() + ": "
                         + message->text().remove(QChar(0x200B)).simplified();
            QAbstractButton* button =
                message->button(c.answer == MsgAnswer::Yes ? QMessageBox::Yes : QMessageBox::No);
            if (button)
                button->click();
            else
                message->close();
        });
        WriteBytes(path, first);
        loads.at(c.load)();
        const bool sorted = c.load == std::string("sorted");
        ASSERT_EQ(rs.session.CurrentFileName,
                  sorted ? rs.folders.TempFolder + "SortedFile.dat" : path);
        ASSERT_TRUE(shown.isEmpty()) << shown.join("|").toStdString();
        c.change();
        if (c.saveAs)
            boxes.QueueFiles({path});
        ASSERT_TRUE(ChooseMenuItem(c.saveAs ? rw.mnuFileSave : rw.mnuFileSaveNow));
        if (c.answer)
            EXPECT_EQ(shown, QStringList{"File Changed: The file '" + path
                                         + "' has changed since it was "
                                           "loaded or saved. Saving now replaces those changes. "
                                           "Do you want to save anyway?"});
        else
            EXPECT_TRUE(shown.isEmpty()) << shown.join("|").toStdString();
        EXPECT_EQ(ReadBytes(path), c.after);
        EXPECT_EQ(rs.records.RecordCount, 2);
        // A save that wrote the file is what a later one compares with.
        if (c.after == saved) {
            shown.clear();
            ASSERT_TRUE(ChooseMenuItem(rw.mnuFileSaveNow));
            EXPECT_TRUE(shown.isEmpty());
            EXPECT_EQ(ReadBytes(path), saved);
        }
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
