// FTP transfers against a real pyftpdlib on 127.0.0.1: the window's Get and Put modes, View as
// HL7 and View in Editor, and the main window's FTP Get and Put around them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include "FtpTestServer.h"
#include "TestSupport.h"
#include "app/frmMain.h"
#include "ftp/FtpTransfers.h"
#include "ftp/frmFTP.h"

void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace quillon;
using platform::MsgAnswer;
using quillon::test::FtpTestServer;

namespace {

const std::string kRecordA = "MSH|^~\\&|A|B|||||ADT^A01|1|P|2.3\rPID|1||111\r";
const std::string kRecordB = "MSH|^~\\&|A|B|||||ADT^A01|2|P|2.3\rPID|1||222\r";

QStringList Titles(const platform::ScriptedResponder& r)
{
    QStringList titles;
    for (const auto& s : r.shown()) titles << s.title;
    return titles;
}

void Connect(frmFTP& w, const FtpTestServer& server)
{
    w.cboHostNames->setEditText(QStringLiteral("127.0.0.1:%1").arg(server.Port()));
    w.txtUserName->setText(QStringLiteral("user"));
    w.txtPassword->setText(QStringLiteral("secret"));
    w.cmdConnect_Click();
}

// Selects exactly these rows, the first of them current; rows not listed (a name the server
// could never list) are added.
void SelectRows(frmFTP& w, const QStringList& names)
{
    w.lvFileList->clearSelection();
    for (const QString& name : names) {
        auto found = w.lvFileList->findItems(name, Qt::MatchExactly, 0);
        QTreeWidgetItem* item = found.isEmpty() ? new QTreeWidgetItem(w.lvFileList, {name}) : found[0];
        item->setSelected(true);
    }
    const auto first = w.lvFileList->findItems(names.front(), Qt::MatchExactly, 0);
    w.lvFileList->setCurrentItem(first[0], 0, QItemSelectionModel::NoUpdate);
}

QByteArray Gzip(const QByteArray& bytes)
{
    QProcess gzip;
    gzip.start(QStringLiteral("gzip"), {QStringLiteral("-c")});
    gzip.write(bytes);
    gzip.closeWriteChannel();
    gzip.waitForFinished(10000);
    return gzip.readAllStandardOutput();
}

QByteArray Zip(const QTemporaryDir& scratch, const std::vector<std::pair<QString, QByteArray>>& entries)
{
    // Stored, not deflated, so the archive holds the entries' line ends as they are.
    QStringList args{QStringLiteral("-q"), QStringLiteral("-0"), QStringLiteral("-j"),
                     scratch.filePath(QStringLiteral("x.zip"))};
    for (const auto& [name, bytes] : entries) {
        test::WriteBytes(scratch.filePath(name), bytes.toStdString());
        args << scratch.filePath(name);
    }
    QProcess::execute(QStringLiteral("zip"), args);
    return QByteArray::fromStdString(test::ReadBytes(scratch.filePath(QStringLiteral("x.zip"))));
}

// Runs `command` while `work` drives the modal FTP window it opens; closes whatever modal
// window is left after 20 s so a failing test cannot hang.
void WithFtpWindow(const std::function<void()>& command, const std::function<void(frmFTP&)>& work)
{
    QTimer::singleShot(0, [&] {
        if (auto* w = qobject_cast<frmFTP*>(QApplication::activeModalWidget())) work(*w);
    });
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    safety.start(20000);
    command();
}

class FtpTransfers : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.Error().toStdString(); }
    void TearDown() override { server.Stop(); }
    FtpTestServer server;
};

TEST(FtpTransferRules, TypesTextsAndPaths)
{
    using platform::ftp_type::Ascii;
    using platform::ftp_type::Binary;
    const struct {
        const char* name;
        bool ascii, compressedRule;
        int type;
    } types[] = {{"a.dat", true, true, Ascii},   {"a.dat.gz", true, true, Binary}, {"a.GZ", true, true, Binary},
                 {"a.Z", true, true, Binary},    {"a.z", true, true, Binary},      {"a.gz", true, false, Ascii},
                 {"a.dat", false, true, Binary}, {"a.zip", true, true, Binary},
                 {"A.ZIP", true, true, Binary},  {"a.zip", true, false, Ascii},    {"a.zipx", true, true, Ascii}};
    for (const auto& t : types)
        EXPECT_EQ(DownloadTransferType(QString::fromLatin1(t.name), t.ascii, t.compressedRule), t.type) << t.name;

    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(TransferCompleteText(false, 1234567, 1.5, us),
              QStringLiteral("Binary transfer completed\r\n1,234,567 bytes transferred.\r\n"
                             "Elapsed time: 1.5 seconds.\r\n823,045 bytes per second."));
    EXPECT_EQ(TransferCompleteText(true, 10, 0, us),
              QStringLiteral("ASCII transfer completed\r\n10 bytes transferred.\r\n"
                             "Elapsed time: 0 seconds.\r\n1,000 bytes per second."));

    const struct {
        const char* folder;
        QStringList names;
        const char* path;    // of the first name
        const char* source;  // host "h:21"
    } paths[] = {
        {"/", {"a.dat"}, "/a.dat", "h:21:/a.dat"},
        {"/in/hl7", {"a.dat", "b.dat"}, "/in/hl7/a.dat", "h:21:/in/hl7/Multiple Appended Files"},
        {"DISK1:[USER.HL7]", {"A.DAT;1"}, "DISK1:[USER.HL7]A.DAT;1", "h:21:DISK1:[USER.HL7]A.DAT;1"},
    };
    for (const auto& p : paths) {
        EXPECT_EQ(RemoteFilePath(QString::fromLatin1(p.folder), p.names.front()), QString::fromLatin1(p.path));
        EXPECT_EQ(FtpSourceText(QStringLiteral("h:21"), QString::fromLatin1(p.folder), p.names),
                  QString::fromLatin1(p.source));
    }
}

TEST(FtpTransferRules, PutFileFramesEachRecord)
{
    QTemporaryDir dir;
    const std::vector<std::string_view> records{kRecordA, kRecordB};
    const EnvelopeChars envelope;
    const struct {
        bool envelope;
        std::string bytes;
    } cases[] = {
        {true, "\x0b" + kRecordA + "\x1c\r" + "\x0b" + kRecordB + "\x1c\r"},
        {false, kRecordA + "\r\n" + kRecordB + "\r\n"},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(QStringLiteral("ftp.dat"));
        ASSERT_TRUE(WriteFtpPutFile(path, records, envelope, c.envelope).ok);
        EXPECT_EQ(test::ReadBytes(path), c.bytes);
    }
    EXPECT_FALSE(WriteFtpPutFile(dir.filePath(QStringLiteral("no/such/folder/ftp.dat")), records, envelope, true).ok);
}

// Get mode: the selected files, one after the other, in the one chosen file.
TEST_F(FtpTransfers, GetModeSavesTheSelectedFilesIntoOneLocalFile)
{
    server.WriteFile(QStringLiteral("one.dat"), "first\r");
    server.WriteFile(QStringLiteral("two.dat"), "second\r");
    server.WriteFile(QStringLiteral("three.dat"), "third\r");
    server.WriteFile(QStringLiteral("a:b*c.dat"), "odd\r");
    const struct {
        const char* name;
        QStringList select;
        QString remove;  // deleted on the server after listing
        QByteArray local;
        const char* title;
        qint64 bytes;
    } cases[] = {
        // ASCII mode, the default: the CR segment ends come through as the server sends them.
        {"One", {QStringLiteral("two.dat")}, {}, "second\r", "FTP Get Complete", 7},
        {"Three",
         {QStringLiteral("one.dat"), QStringLiteral("three.dat"), QStringLiteral("two.dat")},
         {},
         "first\rthird\rsecond\r",  // in the list's order, sorted by name here
         "FTP Get Complete",
         19},
        {"OddName", {QStringLiteral("a:b*c.dat")}, {}, "odd\r", "FTP Get Complete", 4},
        {"SecondGone",
         {QStringLiteral("one.dat"), QStringLiteral("purged.dat"), QStringLiteral("two.dat")},
         QStringLiteral("purged.dat"),
         "first\r",  // what came before it
         "FTP Get Failed",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppState state;
        QTemporaryDir local, before;
        state.options.LastFileSavePath = before.path() + QLatin1Char('/');
        platform::ScriptedResponder responder;
        bool cancelled = true;
        frmFTP w(state, responder, cancelled);
        if (!c.remove.isEmpty()) server.WriteFile(c.remove, "x");
        Connect(w, server);
        if (!c.remove.isEmpty()) QFile::remove(server.Root() + QLatin1Char('/') + c.remove);
        w.lvFileList->sortItems(0, Qt::AscendingOrder);
        SelectRows(w, c.select);
        const QString target = local.filePath(QStringLiteral("got.dat"));
        responder.QueueFiles({target});
        w.cmdGet_Click();

        EXPECT_FALSE(cancelled);
        ASSERT_EQ(responder.fileDialogs().size(), 1u);
        const auto& request = responder.fileDialogs()[0];
        EXPECT_EQ(request.title, QStringLiteral("Save FTP'd File To ..."));
        EXPECT_EQ(request.fileName, QString(c.select.front()).replace(QRegularExpression("[:*]"), "-"));
        EXPECT_EQ(request.selectedPattern, 2);
        EXPECT_EQ(request.folder, before.path() + QLatin1Char('/'));
        EXPECT_EQ(QByteArray::fromStdString(test::ReadBytes(target)), c.local);
        const QStringList titles = Titles(responder);
        EXPECT_EQ(titles.contains(QStringLiteral("Illegal Windows Character in Filename")),
                  QString(c.select.front()).contains(QLatin1Char(':')));
        ASSERT_FALSE(titles.isEmpty());
        EXPECT_EQ(titles.back(), QString::fromLatin1(c.title));
        const QString last = responder.shown().back().text;
        if (c.bytes > 0) EXPECT_TRUE(last.contains(QStringLiteral("%1 bytes transferred.").arg(c.bytes))) << last.toStdString();
        else EXPECT_TRUE(last.contains(c.remove) &&
                         last.contains(target + " holds only what was transferred before it."))
            << last.toStdString();
        EXPECT_TRUE(w.lstDirectoryList->isEnabled());
        EXPECT_TRUE(w.stsPanels[3]->text().isEmpty());
        EXPECT_TRUE(w.prStatus->isHidden());

        // The next save dialog proposes the folder of the file just chosen.
        responder.QueueFiles({});
        w.cmdGet_Click();
        ASSERT_EQ(responder.fileDialogs().size(), 2u);
        EXPECT_EQ(responder.fileDialogs()[1].folder, local.path() + QLatin1Char('/'));
    }
}

// A transfer cut off by the server's end asks to reconnect; No closes the window and leaves no
// partial file and no completion message.
TEST_F(FtpTransfers, InterruptedTransferOffersToReconnect)
{
    server.WriteFile(QStringLiteral("big.dat"), QByteArray(4 << 20, 'x'));
    server.Stop();
    server.sendLimit = 1 << 20;
    ASSERT_TRUE(server.Restart());
    AppState state;
    QTemporaryDir local;
    platform::ScriptedResponder responder;
    bool cancelled = false;
    frmFTP w(state, responder, cancelled);
    Connect(w, server);
    SelectRows(w, {QStringLiteral("big.dat")});
    const QString target = local.filePath(QStringLiteral("big.dat"));
    responder.QueueFiles({target});
    responder.QueueAnswer(MsgAnswer::No);
    bool stopped = false;
    QObject::connect(&w.FileTransfer1, &platform::FtpControl::Progress, [&](qint64 done, qint64, qint64, int) {
        if (!stopped && done > 0) {
            stopped = true;
            server.Stop();
        }
    });
    w.cmdGet_Click();
    EXPECT_TRUE(stopped);
    EXPECT_EQ(Titles(responder), QStringList{QStringLiteral("Server Disconnected")});
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(w.Unloaded());
    EXPECT_FALSE(QFileInfo::exists(target));
}

// View as HL7: every file lands inside the load folder whatever its listed name; a folder in
// square brackets gives one hand-over file with the files appended.
TEST_F(FtpTransfers, ViewAsHl7DownloadsIntoTheLoadFolderAndHides)
{
    server.WriteFile(QStringLiteral("x.dat"), "plain\r");
    server.WriteFile(QStringLiteral("[VMS]a.dat"), "first\r");
    server.WriteFile(QStringLiteral("[VMS]b.dat"), "second\r");
    const struct {
        const char* name;
        const char* folder;  // lblDirectory as shown; empty: as listed
        QStringList select;
        std::map<QString, QByteArray> files;  // of the load folder afterwards
        const char* source;
    } cases[] = {
        {"DotDotName", "", {QStringLiteral("../x.dat")}, {{QStringLiteral("..-x.dat"), "plain\r"}}, ":/../x.dat"},
        {"Bracketed",
         "/[VMS]",
         {QStringLiteral("a.dat"), QStringLiteral("b.dat")},
         {{QStringLiteral("ftp.dat"), "first\rsecond\r"}},
         ":/[VMS]Multiple Appended Files"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::MainWindowFixture f;
        platform::ScriptedResponder& responder = f.responder;
        bool cancelled = true;
        frmFTP w(f.state, responder, cancelled);
        Connect(w, server);
        if (*c.folder) w.lblDirectory->setText(QString::fromLatin1(c.folder));
        SelectRows(w, c.select);
        w.show();
        w.cmdOpen_Click();
        EXPECT_TRUE(responder.shown().empty()) << responder.shown()[0].text.toStdString();
        EXPECT_FALSE(cancelled);
        EXPECT_TRUE(w.isHidden());
        const QDir load(f.state.folders.Files2LoadFolder);
        std::map<QString, QByteArray> found;
        for (const QString& name : load.entryList(QDir::Files | QDir::Hidden))
            found[name] = QByteArray::fromStdString(test::ReadBytes(load.filePath(name)));
        EXPECT_EQ(found, c.files);
        EXPECT_FALSE(QFileInfo::exists(load.filePath(QStringLiteral("../x.dat"))));
        EXPECT_EQ(f.state.ftp.FtpSourceDescription, w.ConnectedHost + QString::fromLatin1(c.source));
    }
}

// View in Editor: the file in the temp folder, handed to the editor as one argument whatever
// its name holds, and no shell sees it (a real editor, a script that notes its arguments, is
// started once); nothing is opened when the download failed.
TEST_F(FtpTransfers, ViewInEditorStartsTheViewerWithThePath)
{
    const QString odd = QStringLiteral("$(touch pwned) `id` a b.dat");
    server.WriteFile(odd, "text\r\n");
    QTemporaryDir scripts;
    const QString editor = scripts.filePath(QStringLiteral("editor"));
    test::WriteBytes(editor, "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.args\"\n");
    QFile::setPermissions(editor, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile::remove(QStringLiteral("pwned"));
    const struct {
        const char* name;
        QString file;
        QString editor;
        bool startSucceeds;
        const char* title;  // of the one message; empty: none
        bool realDesktop = false;
    } cases[] = {
        {"Editor", odd, "/usr/bin/mousepad", true, ""},
        {"Desktop", odd, "", true, ""},
        {"ViewerMissing", odd, "/usr/bin/mousepad", false, "Can't Find Viewer"},
        {"NotThere", QStringLiteral("gone.dat"), "/usr/bin/mousepad", true, "FTP Get Failed"},
        {"RealEditor", odd, editor, true, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::MainWindowFixture f;
        f.state.session.TextEditorForViewer = c.editor;
        f.desktop.startSucceeds = c.startSucceeds;
        bool cancelled = true;
        frmFTP w(f.state, f.responder, cancelled);
        if (!c.realDesktop) w.desktop = &f.desktop;
        Connect(w, server);
        SelectRows(w, {c.file});
        w.cmdViewInWP_Click();
        EXPECT_EQ(Titles(f.responder), *c.title ? QStringList{QString::fromLatin1(c.title)} : QStringList{});
        const QString local = f.state.folders.TempFolder + c.file;
        if (QString::fromLatin1(c.title) == QLatin1String("FTP Get Failed")) {
            EXPECT_TRUE(f.desktop.started.empty() && f.desktop.opened.empty());
            continue;
        }
        if (c.realDesktop) {
            // The script notes its arguments as it runs.
            const QString args = editor + QStringLiteral(".args");
            QElapsedTimer waited;
            waited.start();
            while (test::ReadBytes(args).empty() && waited.elapsed() < 10000)
                QThread::msleep(10);
            EXPECT_EQ(QString::fromStdString(test::ReadBytes(args)), QStringLiteral("1|") + local + '|');
            EXPECT_FALSE(QFileInfo::exists(QStringLiteral("pwned")));
            continue;
        }
        EXPECT_EQ(test::ReadBytes(local), "text\r\n");
        if (!c.editor.isEmpty()) {
            ASSERT_EQ(f.desktop.started.size(), 1u);
            EXPECT_EQ(f.desktop.started[0], (QStringList{c.editor, local}));
        } else {
            ASSERT_EQ(f.desktop.opened.size(), 1u);
            EXPECT_EQ(f.desktop.opened[0][1], local);
        }
    }
}

// The main window's FTP Get: what View as HL7 fetched, decompressed and joined, in the record
// store, with the FTP caption; Save then asks where to save.
TEST_F(FtpTransfers, MainWindowGetLoadsWhatArrived)
{
    QTemporaryDir scratch;
    server.WriteFile(QStringLiteral("a.hl7"), QByteArray::fromStdString(kRecordA));
    server.WriteFile(QStringLiteral("b.hl7"), QByteArray::fromStdString(kRecordB));
    server.WriteFile(QStringLiteral("c.hl7"), QByteArray::fromStdString(kRecordA + kRecordB));
    server.WriteFile(QStringLiteral("ab.hl7.gz"), Gzip(QByteArray::fromStdString(kRecordA + kRecordB)));
    server.WriteFile(QStringLiteral("two.zip"), Zip(scratch, {{QStringLiteral("y.hl7"), QByteArray::fromStdString(kRecordB + "\r\n")},
                                                              {QStringLiteral("x.hl7"), QByteArray::fromStdString(kRecordA)}}));
    server.WriteFile(QStringLiteral("bad.gz"), "not gzip data");
    server.WriteFile(QStringLiteral("ab.hl7"), QByteArray::fromStdString(kRecordA));
    const struct {
        const char* name;
        QStringList select;  // empty: the window is closed
        int records;         // -1: the loaded records stay
        const char* source;
        const char* firstId;  // MSH-10 of record 1
        const char* message;  // title of the one message; empty: none
    } cases[] = {
        {"One", {QStringLiteral("a.hl7")}, 1, "/a.hl7", "1", ""},
        {"ThreeAppended",
         {QStringLiteral("c.hl7"), QStringLiteral("b.hl7"), QStringLiteral("a.hl7")},
         4,
         "/Multiple Appended Files",
         "1",
         ""},
        {"Gzip", {QStringLiteral("ab.hl7.gz")}, 2, "/ab.hl7.gz", "1", ""},
        {"ZipOfTwo", {QStringLiteral("two.zip")}, 2, "/two.zip", "1", ""},
        {"NotGzip", {QStringLiteral("bad.gz")}, -1, "", "", "Can't Unzip/Uncompress File"},
        // gzip keeps ab.hl7.gz when ab.hl7 is there (exit 2): a failure, not an endless loop.
        {"GzipNameTaken",
         {QStringLiteral("ab.hl7"), QStringLiteral("ab.hl7.gz")},
         -1,
         "",
         "",
         "Can't Unzip/Uncompress File"},
        {"Closed", {}, -1, "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::MainWindowFixture f;
        frmMain& m = *f.window;
        const QString before = f.WriteFile(QStringLiteral("before.hl7"), kRecordB + kRecordB + kRecordB);
        ASSERT_TRUE(m.LoadHL7File(before));
        const QString beforeCaption = m.windowTitle();
        m.mnuOptionsUseMFU->setChecked(true);
        const int32_t mruBefore = m.MRUCount;
        QString host;
        WithFtpWindow([&] { m.mnuFTPReceive_Click(); },
                      [&](frmFTP& w) {
                          Connect(w, server);
                          host = w.ConnectedHost;
                          if (c.select.isEmpty()) {
                              w.cmdCancel_Click();
                              return;
                          }
                          SelectRows(w, c.select);
                          w.cmdOpen_Click();
                      });
        EXPECT_EQ(Titles(f.responder), *c.message ? QStringList{QString::fromLatin1(c.message)} : QStringList{});
        if (c.records < 0) {
            if (!*c.message) {
                EXPECT_EQ(m.st.records.RecordCount, 3);
                EXPECT_EQ(m.windowTitle(), beforeCaption);
            }
            continue;
        }
        EXPECT_EQ(m.st.records.RecordCount, c.records);
        EXPECT_EQ(m.windowTitle(), QStringLiteral("Quillon - FTP Get - ") + host + QLatin1Char(':') + QString::fromLatin1(c.source));
        EXPECT_NE(m.st.records.Record(1).find(std::string("|") + c.firstId + "|P|"), std::string::npos);
        EXPECT_EQ(m.lblTCPIPcount->text(), QStringLiteral("Count:"));
        EXPECT_EQ(m.MRUCount, mruBefore);
        m.mnuFileSaveNow_Click();
        EXPECT_EQ(f.responder.fileDialogs().size(), 1u);
    }
}

// The main window's FTP Put: the records framed as chosen in the hand-over file, uploaded under
// the typed name; the hand-over file is gone afterwards.
TEST_F(FtpTransfers, MainWindowPutUploadsTheRecords)
{
    const struct {
        bool envelope;
        std::string bytes;
        const char* question;
    } cases[] = {
        {true, "\x0b" + kRecordA + "\x1c\r" + "\x0b" + kRecordB + "\x1c\r", " with envelope characters around records."},
        {false, kRecordA + "\r\n" + kRecordB + "\r\n", " without envelope characters around records."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.envelope);
        test::MainWindowFixture f;
        frmMain& m = *f.window;
        m.st.options.FtpUseEnvelope = c.envelope;
        ASSERT_TRUE(m.LoadHL7File(f.WriteFile(QStringLiteral("two.hl7"), kRecordA + kRecordB)));
        WithFtpWindow([&] { m.mnuFTPSend_Click(); },
                      [&](frmFTP& w) {
                          Connect(w, server);
                          // ASCII would let the server turn CR LF into its own line end.
                          w.mnuOptionsChoose(w.mnuOptionsDownloadUsingBinaryMode);
                          w.txtFileName->setText(QStringLiteral("  up.dat "));
                          w.cmdGet_Click();
                          w.cmdCancel_Click();
                      });
        EXPECT_EQ(server.ReadFile(QStringLiteral("up.dat")).toStdString(), c.bytes);
        ASSERT_GE(f.responder.shown().size(), 2u);
        EXPECT_EQ(f.responder.shown()[0].text, QStringLiteral("OK to put file \"up.dat\"") + QString::fromLatin1(c.question));
        EXPECT_EQ(f.responder.shown()[1].title, QStringLiteral("FTP Put Complete"));
        EXPECT_FALSE(QFileInfo::exists(m.st.folders.TempFolder + QStringLiteral("ftp.dat")));
    }
    // A hand-over file that cannot be written: said, and the window never opens.
    test::MainWindowFixture f;
    frmMain& m = *f.window;
    ASSERT_TRUE(m.LoadHL7File(f.WriteFile(QStringLiteral("two.hl7"), kRecordA)));
    m.st.folders.TempFolder = f.home.filePath(QStringLiteral("missing/"));
    bool opened = false;
    WithFtpWindow([&] { m.mnuFTPSend_Click(); }, [&](frmFTP& w) {
        opened = true;
        w.cmdCancel_Click();
    });
    EXPECT_FALSE(opened);
    EXPECT_EQ(Titles(f.responder), QStringList{QStringLiteral("FTP Put Failed")});
}

}  // namespace
