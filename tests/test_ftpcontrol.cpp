// The FTP control against a real pyftpdlib server on 127.0.0.1.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <unistd.h>
#include <map>

#include "FtpTestServer.h"
#include "platform/FtpControl.h"

using namespace quillon;
using namespace quillon::platform;
using quillon::test::FtpTestServer;

namespace {

class FtpControlTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.Error().toStdString(); }
    void TearDown() override { server.Stop(); }

    int ConnectAs(const QString& user = QStringLiteral("user"),
                  const QString& password = QStringLiteral("secret"))
    {
        ftp.setHost(QStringLiteral("127.0.0.1"));
        ftp.setPort(server.Port());
        ftp.setUserName(user);
        ftp.setPassword(password);
        return ftp.Connect();
    }

    std::map<QString, FtpEntry> List(const QString& path = QString())
    {
        std::map<QString, FtpEntry> entries;
        EXPECT_EQ(ftp.OpenListing(path), ftp_result::Ok) << ftp.LastErrorText().toStdString();
        FtpEntry e;
        for (int i = 0; i < 1000 && ftp.ReadNextEntry(e) == ftp_result::Ok; ++i) entries[e.name] = e;
        EXPECT_EQ(ftp.ReadNextEntry(e), ftp_result::NoMoreEntries);
        ftp.CloseListing();
        return entries;
    }

    QString Local(const QString& name) const { return local.filePath(name); }

    FtpTestServer server;
    FtpControl ftp;
    QTemporaryDir local;
};

QByteArray ReadLocal(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteLocal(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST_F(FtpControlTest, LoginAnswersConnectedOrRefused)
{
    struct Case {
        const char* user;
        const char* password;
        int expected;
    };
    for (const Case& c : {Case{"user", "wrong", ftp_result::LoginRefused},
                          Case{"nobody", "secret", ftp_result::LoginRefused},
                          Case{"user", "secret", ftp_result::Ok}}) {
        SCOPED_TRACE(c.user + std::string("/") + c.password);
        EXPECT_EQ(ConnectAs(QString::fromUtf8(c.user), QString::fromUtf8(c.password)), c.expected);
        EXPECT_EQ(ftp.Connected(), c.expected == ftp_result::Ok);
    }
    EXPECT_EQ(ftp.CurrentDirectory(), QStringLiteral("/"));
    EXPECT_EQ(ftp.Connect(), ftp_result::Ok);  // a probe of the live connection
    EXPECT_EQ(ftp.Disconnect(), ftp_result::Ok);
    EXPECT_FALSE(ftp.Connected());

    // Nothing listening: a failure that is neither success nor a refused login.
    const int port = server.Port();
    server.Stop();
    ftp.setPort(port);
    const int r = ftp.Connect();
    EXPECT_NE(r, ftp_result::Ok);
    EXPECT_NE(r, ftp_result::LoginRefused);
    EXPECT_FALSE(ftp.LastErrorText().isEmpty());
}

TEST_F(FtpControlTest, ListingGivesFoldersFilesSizesAndTimes)
{
    server.MakeDir(QStringLiteral("sub folder"));
    server.MakeDir(QStringLiteral("empty"));
    server.WriteFile(QStringLiteral("a.dat"), QByteArray(1234, 'x'));
    server.WriteFile(QStringLiteral("with blanks  in name.hl7"), "MSH|");
    server.WriteFile(QStringLiteral("sub folder/inner.txt"), "12345");
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-120);
    for (bool mlsd : {true, false}) {
        SCOPED_TRACE(mlsd ? "MLSD" : "LIST");
        server.Stop();
        server.mlsd = mlsd;
        ASSERT_TRUE(server.Restart());
        ASSERT_EQ(ConnectAs(), ftp_result::Ok);
        auto root = List();
        ASSERT_EQ(root.size(), 4u);
        EXPECT_TRUE(root[QStringLiteral("sub folder")].isDirectory);
        EXPECT_TRUE(root[QStringLiteral("empty")].isDirectory);
        EXPECT_FALSE(root[QStringLiteral("a.dat")].isDirectory);
        EXPECT_EQ(root[QStringLiteral("a.dat")].size, 1234);
        EXPECT_EQ(root[QStringLiteral("with blanks  in name.hl7")].size, 4);
        // LIST shows minutes only.
        EXPECT_GE(root[QStringLiteral("a.dat")].modified.toUTC().addSecs(60), before);
        EXPECT_LE(root[QStringLiteral("a.dat")].modified.toUTC(), QDateTime::currentDateTimeUtc().addSecs(120));
        auto inner = List(QStringLiteral("sub folder"));
        ASSERT_EQ(inner.size(), 1u);
        EXPECT_EQ(inner[QStringLiteral("inner.txt")].size, 5);
        EXPECT_TRUE(List(QStringLiteral("/empty")).empty());
        ftp.Disconnect();
    }
}

// A name holding a line break followed by what reads as a listing line of another file: the
// listing names every file once and whole, in either listing form, and the broken name is
// refused rather than sent, so no command reaches the file its pieces would name.
TEST_F(FtpControlTest, NameWithALineBreakNamesNoOtherFile)
{
    const QStringList names = {
        QStringLiteral("report.hl7"), QStringLiteral("report.hl7\ntype=file;size=9; x.hl7"),
        QStringLiteral("keep.hl7"),
        QStringLiteral("keep.hl7\n-rw-r--r-- 1 u g 3 Dec  8 09:05 other"),
        QStringLiteral("a\rb.hl7"), QStringLiteral("\nlead.hl7"),
    };
    for (const QString& name : names) server.WriteFile(name, "x");
    for (bool mlsd : {true, false}) {
        SCOPED_TRACE(mlsd ? "MLSD" : "LIST");
        server.Stop();
        server.mlsd = mlsd;
        ASSERT_TRUE(server.Restart());
        ASSERT_EQ(ConnectAs(), ftp_result::Ok);
        QStringList listed;
        for (const auto& [name, entry] : List()) listed << name;
        QStringList expected = names;
        expected.sort();
        EXPECT_EQ(listed, expected) << listed.join(QStringLiteral(" | ")).toStdString();
        EXPECT_EQ(ftp.Delete(names[1]), ftp_result::InvalidName);
        for (const QString& name : names) EXPECT_TRUE(server.Exists(name)) << name.toStdString();
        ftp.Disconnect();
    }
}

// The same from a server that ends its listing lines with LF alone: the pieces of the broken
// name are all that can be told apart, and report.hl7 is still listed, once.
TEST_F(FtpControlTest, LfOnlyListingHidesNoFile)
{
    server.WriteFile(QStringLiteral("report.hl7"), "123456789");
    server.WriteFile(QStringLiteral("report.hl7\ntype=file;size=9; x.hl7"), "x");
    server.lfOnly = true;
    for (bool mlsd : {true, false}) {
        SCOPED_TRACE(mlsd ? "MLSD" : "LIST");
        server.Stop();
        server.mlsd = mlsd;
        ASSERT_TRUE(server.Restart());
        ASSERT_EQ(ConnectAs(), ftp_result::Ok);
        ASSERT_EQ(ftp.OpenListing(QString()), ftp_result::Ok);
        QStringList listed;
        for (FtpEntry e; listed.size() < 10 && ftp.ReadNextEntry(e) == ftp_result::Ok;) listed << e.name;
        ftp.CloseListing();
        listed.sort();
        const QString second = mlsd ? QStringLiteral("x.hl7") : QStringLiteral("report.hl7\ntype=file;size=9; x.hl7");
        EXPECT_EQ(listed, (QStringList{QStringLiteral("report.hl7"), second}));
        ftp.Disconnect();
    }
}

TEST_F(FtpControlTest, ChangeDirectoryFollowsServerAndRefusesMissing)
{
    server.MakeDir(QStringLiteral("one/two words"));
    ASSERT_EQ(ConnectAs(), ftp_result::Ok);
    struct Step {
        const char* path;
        int result;
        const char* after;
    };
    for (const Step& s : {Step{"one", 0, "/one"}, Step{"two words", 0, "/one/two words"},
                          Step{"..", 0, "/one"}, Step{"/one/two words", 0, "/one/two words"},
                          Step{"/one/two words/..", 0, "/one"}, Step{"missing", ftp_result::AccessDenied, "/one"},
                          Step{"/", 0, "/"}, Step{"..", 0, "/"}}) {
        SCOPED_TRACE(s.path);
        EXPECT_EQ(ftp.ChangeDirectory(QString::fromUtf8(s.path)), s.result);
        EXPECT_EQ(ftp.CurrentDirectory(), QString::fromUtf8(s.after));
    }
    ASSERT_EQ(ftp.ChangeDirectory(QStringLiteral("one")), ftp_result::Ok);
    EXPECT_EQ(List().count(QStringLiteral("two words")), 1u);  // the listing follows
}

TEST_F(FtpControlTest, ServerRestartIsReportedLostOnceThenReconnects)
{
    server.WriteFile(QStringLiteral("f.txt"), "abc");
    const QString upload = Local(QStringLiteral("up.txt"));
    WriteLocal(upload, "up");
    const std::vector<std::pair<const char*, std::function<int()>>> operations = {
        {"probe", [&] { return ftp.Connect(); }},
        {"cd", [&] { return ftp.ChangeDirectory(QStringLiteral("/")); }},
        {"list", [&] { return ftp.OpenListing(QString()); }},
        {"get", [&] { return ftp.Get(Local(QStringLiteral("g.txt")), QStringLiteral("f.txt")); }},
        {"put", [&] { return ftp.Put(upload, QStringLiteral("u.txt")); }},
    };
    for (const auto& [name, op] : operations) {
        SCOPED_TRACE(name);
        ASSERT_EQ(ConnectAs(), ftp_result::Ok);
        ASSERT_TRUE(server.Restart());
        EXPECT_EQ(op(), ftp_result::ConnectionLost);
        EXPECT_FALSE(ftp.Connected());
        ASSERT_EQ(ConnectAs(), ftp_result::Ok);
        EXPECT_EQ(op(), ftp_result::Ok) << ftp.LastErrorText().toStdString();
        ftp.Disconnect();
    }
    // A server that stays down: the probe says lost, connecting again fails.
    ASSERT_EQ(ConnectAs(), ftp_result::Ok);
    server.Stop();
    EXPECT_TRUE(IsConnectionLost(ftp.Connect()));
    EXPECT_NE(ftp.Connect(), ftp_result::Ok);
}

TEST_F(FtpControlTest, FailedGetLeavesLocalFileAsItWas)
{
    ASSERT_EQ(ConnectAs(), ftp_result::Ok);
    struct Case {
        const char* name;
        bool existing;
        bool append;
    };
    for (const Case& c : {Case{"new.txt", false, false}, Case{"old.txt", true, false},
                          Case{"old-append.txt", true, true}, Case{"new-append.txt", false, true}}) {
        SCOPED_TRACE(c.name);
        const QString path = Local(QString::fromUtf8(c.name));
        if (c.existing) WriteLocal(path, "old content");
        ftp.setLocalAppend(c.append);
        EXPECT_EQ(ftp.Get(path, QStringLiteral("no such file.txt")), ftp_result::ExtendedError);
        EXPECT_GE(ftp.LastReplyCode(), 500);
        if (c.existing)
            EXPECT_EQ(ReadLocal(path), QByteArray("old content"));
        else
            EXPECT_TRUE(!QFile::exists(path) || ReadLocal(path).isEmpty());
        EXPECT_TRUE(ftp.Connected());
    }
    // The failures did not cost the connection.
    server.WriteFile(QStringLiteral("there.txt"), "ok");
    ftp.setLocalAppend(false);
    EXPECT_EQ(ftp.Get(Local(QStringLiteral("there.txt")), QStringLiteral("there.txt")), ftp_result::Ok);
}

TEST_F(FtpControlTest, GetReplacesOrAppendsExactBytes)
{
    QByteArray binary;
    for (int i = 0; i < 300000; ++i) binary += static_cast<char>(i * 7 % 256);
    server.MakeDir(QStringLiteral("d"));
    server.WriteFile(QStringLiteral("d/bin.dat"), binary);
    server.WriteFile(QStringLiteral("second.dat"), "\r\nTAIL\n");
    ASSERT_EQ(ConnectAs(), ftp_result::Ok);
    ASSERT_EQ(ftp.ChangeDirectory(QStringLiteral("d")), ftp_result::Ok);
    const QString target = Local(QStringLiteral("out.dat"));
    WriteLocal(target, "previous");
    int progressEvents = 0;
    int lastPercent = -1;
    QObject::connect(&ftp, &FtpControl::Progress, [&](qint64, qint64, qint64, int percent) {
        ++progressEvents;
        lastPercent = percent;
    });
    ftp.setTransferType(ftp_type::Binary);
    ftp.setLocalAppend(false);
    ASSERT_EQ(ftp.Get(target, QStringLiteral("bin.dat")), ftp_result::Ok);
    EXPECT_EQ(ReadLocal(target), binary);
    EXPECT_EQ(ftp.BytesTransferred(), binary.size());
    EXPECT_GE(progressEvents, 1);
    EXPECT_EQ(lastPercent, 100);
    ftp.setLocalAppend(true);
    ASSERT_EQ(ftp.Get(target, QStringLiteral("/second.dat")), ftp_result::Ok);
    EXPECT_EQ(ReadLocal(target), binary + "\r\nTAIL\n");
    EXPECT_EQ(ftp.BytesTransferred(), 7);
}

TEST_F(FtpControlTest, PutStoresExactBytes)
{
    server.MakeDir(QStringLiteral("in"));
    QByteArray bytes("\x0bMSH|^~\\&|A\r\x1c\r", 15);
    bytes += QByteArray(100000, 'z');
    const QString source = Local(QStringLiteral("ftp.dat"));
    WriteLocal(source, bytes);
    ASSERT_EQ(ConnectAs(), ftp_result::Ok);
    ASSERT_EQ(ftp.ChangeDirectory(QStringLiteral("/in")), ftp_result::Ok);
    ftp.setTransferType(ftp_type::Binary);
    // Relative in passive mode, then an overwrite by absolute path in active mode.
    for (const auto& [remote, passive] : {std::pair{"new file.hl7", true}, std::pair{"/in/new file.hl7", false}}) {
        SCOPED_TRACE(remote);
        ftp.setPassive(passive);
        ASSERT_EQ(ftp.Put(source, QString::fromUtf8(remote)), ftp_result::Ok) << ftp.LastErrorText().toStdString();
        EXPECT_EQ(server.ReadFile(QStringLiteral("in/new file.hl7")), bytes);
        EXPECT_EQ(ftp.BytesTransferred(), bytes.size());
    }
    EXPECT_EQ(ftp.Put(Local(QStringLiteral("absent")), QStringLiteral("x")), ftp_result::LocalFileError);
    EXPECT_FALSE(server.Exists(QStringLiteral("in/x")));
}

TEST_F(FtpControlTest, RenameAndDeleteRefusalsKeepConnection)
{
    server.MakeDir(QStringLiteral("d"));
    server.WriteFile(QStringLiteral("d/a.txt"), "a");
    ASSERT_EQ(ConnectAs(), ftp_result::Ok);
    ASSERT_EQ(ftp.ChangeDirectory(QStringLiteral("d")), ftp_result::Ok);
    struct Step {
        const char* what;
        std::function<int()> run;
        bool refused;
        const char* present;  // file that must exist afterwards ("" none)
        const char* absent;
    };
    const std::vector<Step> steps = {
        {"rename", [&] { return ftp.Rename(QStringLiteral("a.txt"), QStringLiteral("b c.txt")); }, false, "d/b c.txt", "d/a.txt"},
        {"rename missing", [&] { return ftp.Rename(QStringLiteral("a.txt"), QStringLiteral("z.txt")); }, true, "d/b c.txt", "d/z.txt"},
        {"delete missing", [&] { return ftp.Delete(QStringLiteral("a.txt")); }, true, "d/b c.txt", ""},
        {"delete", [&] { return ftp.Delete(QStringLiteral("b c.txt")); }, false, "", "d/b c.txt"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        const int r = s.run();
        if (s.refused) {
            EXPECT_EQ(r, ftp_result::ExtendedError);
            EXPECT_GE(ftp.LastReplyCode(), 300);
        } else {
            EXPECT_EQ(r, ftp_result::Ok) << ftp.LastErrorText().toStdString();
            EXPECT_LT(ftp.LastReplyCode(), 300);
        }
        if (*s.present) {
            EXPECT_TRUE(server.Exists(QString::fromUtf8(s.present)));
        }
        if (*s.absent) {
            EXPECT_FALSE(server.Exists(QString::fromUtf8(s.absent)));
        }
        // Not a loss: the probe passes and the tracked directory stays.
        EXPECT_EQ(ftp.Connect(), ftp_result::Ok);
        EXPECT_EQ(ftp.CurrentDirectory(), QStringLiteral("/d"));
        EXPECT_EQ(ftp.OpenListing(QString()), ftp_result::Ok);
    }
}

TEST(FtpListParser, UnixAndDosLines)
{
    const QDate today(2026, 3, 10);
    struct Case {
        const char* line;
        bool ok;
        const char* name;
        qint64 size;
        bool dir;
        const char* modified;  // yyyy-MM-dd HH:mm
    };
    const Case cases[] = {
        {"drwxr-xr-x    2 ftp      ftp          4096 Dec  8 09:05 incoming", true, "incoming", 0, true, "2025-12-08 09:05"},
        {"-rw-r--r--    1 ftp      ftp        123456 Mar  9 17:45 adt  feed.hl7", true, "adt  feed.hl7", 123456, false, "2026-03-09 17:45"},
        {"-rw-r--r--    1 ftp      ftp            12 Jan 31  2019 old.dat", true, "old.dat", 12, false, "2019-01-31 00:00"},
        {"-rw-r--r--    1 owner          77 Feb  1 10:00 nogroup.txt", true, "nogroup.txt", 77, false, "2026-02-01 10:00"},
        {"lrwxrwxrwx    1 ftp      ftp             7 Mar  1 12:00 link -> target", true, "link", 7, false, "2026-03-01 12:00"},
        {"12-08-26  09:05AM       <DIR>          Sub Dir", true, "Sub Dir", 0, true, "2026-12-08 09:05"},
        {"03-01-99  11:30PM                 2048 report 1.txt", true, "report 1.txt", 2048, false, "1999-03-01 23:30"},
        {"total 24", false, "", 0, false, ""},
        {"drwxr-xr-x    2 ftp      ftp          4096 Dec  8 09:05 .", false, "", 0, false, ""},
        {"", false, "", 0, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        FtpEntry e;
        ASSERT_EQ(ParseListLine(QString::fromUtf8(c.line), e, today), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(e.name, QString::fromUtf8(c.name));
        EXPECT_EQ(e.size, c.size);
        EXPECT_EQ(e.isDirectory, c.dir);
        EXPECT_EQ(e.modified.toString(QStringLiteral("yyyy-MM-dd HH:mm")), QString::fromUtf8(c.modified));
    }
}

// A line break in a name is kept in the name: within a line ending in CR LF, or, where lines
// end in LF alone, as the lines up to the next listing line.
TEST(FtpListParser, NameWithALineBreakStaysWhole)
{
    const struct {
        bool mlsd;
        const char* data;
        QStringList names;
    } cases[] = {
        {true, "type=cdir; /\ntype=file;size=1; big.dat\nold.dat\ntype=file;size=1; x y\nz.dat\n",
         {"big.dat\nold.dat", "x y\nz.dat"}},
        {true, "type=file;size=1; a.dat\n\ntype=pdir; ..\nb.dat\ntype=dir; c\n", {"a.dat", "c"}},
        {false,
         "total 8\n-rw-r--r-- 1 u g 3 Dec  8 09:05 big.dat\nold.dat\ndrwxr-xr-x 2 u g 4096 Dec  8 09:05 .\n"
         "x.dat\n12-08-26  09:05AM  <DIR>  Sub\nDir\n",
         {"big.dat\nold.dat", "Sub\nDir"}},
        // Lines ending in CR LF: a bare break is part of the name, even before a listing line.
        {true, "type=file;size=1; a.dat\r\ntype=file;size=1; a.dat\ntype=file;size=9; x.dat\r\n"
               "type=dir; b\rc\r\n",
         {"a.dat", "a.dat\ntype=file;size=9; x.dat", "b\rc"}},
        {false,
         "-rw-r--r-- 1 u g 3 Dec  8 09:05 \nk.dat\n-rw-r--r-- 1 u g 3 Dec  8 09:05 o\r\nx.dat\r\n",
         {"\nk.dat\n-rw-r--r-- 1 u g 3 Dec  8 09:05 o\r\nx.dat"}},
        // A name holding the line end itself reads as two entries; one named like another file
        // leaves that file listed once. Empty lines belong to no name.
        {true, "type=file;size=1; a.dat\r\ntype=file;size=2; a.dat\r\ntype=file;size=9; b.dat\r\n"
               "type=dir; c\r\n",
         {"a.dat", "b.dat", "c"}},
        {true, "type=file;size=9; report.hl7\r\ntype=file;size=9; report.hl7\ntype=file;size=9; x.hl7\r\n\r\n",
         {"report.hl7", "report.hl7\ntype=file;size=9; x.hl7"}},
        {true, "type=file;size=9; report.hl7\ntype=file;size=9; report.hl7\ntype=file;size=9; x.hl7\n\n",
         {"report.hl7", "x.hl7"}},
        {false, "-rw-r--r-- 1 u g 9 Dec  8 09:05 report.hl7\r\n-rw-r--r-- 1 u g 9 Dec  8 09:05 report.hl7\n"
                "type=file;size=9; x.hl7\r\n\r\n",
         {"report.hl7", "report.hl7\ntype=file;size=9; x.hl7"}},
        {false, "-rw-r--r-- 1 u g 9 Dec  8 09:05 report.hl7\n-rw-r--r-- 1 u g 9 Dec  8 09:05 report.hl7\n"
                "type=file;size=9; x.hl7\n\n-rw-r--r-- 1 u g 9 Dec  8 09:05 b.dat\n",
         {"report.hl7", "report.hl7\ntype=file;size=9; x.hl7", "b.dat"}},
        // Lines ending in LF alone, one name holding CR LF.
        {true, "type=file;size=9; report.hl7\ntype=file;size=9; report.hl7\r\ntype=file;size=9; x.hl7\n"
               "type=dir; d\n",
         {"report.hl7", "report.hl7\r", "x.hl7", "d"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        QStringList names;
        for (const FtpEntry& e : ParseListing(c.data, c.mlsd, QDate(2026, 3, 10))) names << e.name;
        EXPECT_EQ(names, c.names);
    }
}

}  // namespace

// The same control against vsftpd, which lists only with LIST in its own Unix form (numeric
// owners, no MLSD). vsftpd starts only as root and is not part of the set-up (its package runs
// a system FTP service): the test runs where it is installed and the tests run as root.
TEST(FtpControlVsftpd, ListsNavigatesAndGetsOverList)
{
    const QString program = QStringLiteral("/usr/sbin/vsftpd");
    if (!QFile::exists(program) || geteuid() != 0)
        GTEST_SKIP() << "vsftpd is not installed, or the tests do not run as root";
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("anon"));
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/sub")));
    WriteLocal(root + QStringLiteral("/a b.dat"), "abc");
    WriteLocal(root + QStringLiteral("/sub/inner.dat"), "12345");
    // vsftpd refuses an anonymous root that anyone may write to.
    QFile::setPermissions(root, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    QTcpServer probe;  // a free port for the control connection
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const int port = probe.serverPort();
    probe.close();
    const QString config = dir.filePath(QStringLiteral("vsftpd.conf"));
    WriteLocal(config, QStringLiteral("listen=YES\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                                      "background=NO\nanonymous_enable=YES\nno_anon_password=YES\n"
                                      "anon_root=%2\nlocal_enable=NO\nwrite_enable=NO\n"
                                      "seccomp_sandbox=NO\nsecure_chroot_dir=%3\n")
                           .arg(port)
                           .arg(root, dir.path())
                           .toUtf8());
    QProcess server;
    server.start(program, {config});
    ASSERT_TRUE(server.waitForStarted(5000));
    FtpControl ftp;
    ftp.setHost(QStringLiteral("127.0.0.1"));
    ftp.setPort(port);
    ftp.setUserName(QStringLiteral("anonymous"));
    ftp.setPassword(QStringLiteral("guest"));
    int connected = -1;
    for (int i = 0; i < 50 && connected != ftp_result::Ok; ++i) {
        connected = ftp.Connect();
        if (connected != ftp_result::Ok)
            QThread::msleep(100);
    }
    ASSERT_EQ(connected, ftp_result::Ok) << ftp.LastErrorText().toStdString();

    auto list = [&ftp] {
        std::map<QString, FtpEntry> entries;
        EXPECT_EQ(ftp.OpenListing(QString()), ftp_result::Ok) << ftp.LastErrorText().toStdString();
        FtpEntry e;
        for (int i = 0; i < 100 && ftp.ReadNextEntry(e) == ftp_result::Ok; ++i) entries[e.name] = e;
        ftp.CloseListing();
        return entries;
    };
    auto top = list();
    ASSERT_EQ(top.size(), 2u);
    EXPECT_FALSE(top[QStringLiteral("a b.dat")].isDirectory);
    EXPECT_EQ(top[QStringLiteral("a b.dat")].size, 3);
    EXPECT_TRUE(top[QStringLiteral("a b.dat")].modified.isValid());
    EXPECT_TRUE(top[QStringLiteral("sub")].isDirectory);
    EXPECT_EQ(ftp.ChangeDirectory(QStringLiteral("sub")), ftp_result::Ok);
    EXPECT_EQ(ftp.CurrentDirectory(), QStringLiteral("/sub"));
    EXPECT_EQ(list()[QStringLiteral("inner.dat")].size, 5);
    EXPECT_EQ(ftp.ChangeDirectory(QStringLiteral("..")), ftp_result::Ok);
    EXPECT_EQ(ftp.CurrentDirectory(), QStringLiteral("/"));
    QTemporaryDir local;
    EXPECT_EQ(ftp.Get(local.filePath(QStringLiteral("a.dat")), QStringLiteral("a b.dat")),
              ftp_result::Ok);
    EXPECT_EQ(ReadLocal(local.filePath(QStringLiteral("a.dat"))), QByteArray("abc"));
    ftp.Disconnect();
    server.kill();
    server.waitForFinished(5000);
}
