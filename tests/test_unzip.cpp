// The unzip bridge: layouts, replacing files, passwords, entries that try to leave the extract
// folder, damaged archives and the message text.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <zip.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/Unzip.h"

// Readable failures for names and listings.
void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace quillon::test {
namespace {

using platform::CGUnzipFiles;
using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::ScriptedResponder;
namespace result = platform::unzip_result;

struct ZipEntry {
    std::string name;
    std::string data;
    enum class Kind { File, Folder, Link, Stored } kind = Kind::File;
};

// Writes an archive with libzip, so entries can hold any name and any attributes.
void MakeZip(const QString& path, const std::vector<ZipEntry>& entries)
{
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(za, nullptr) << error;
    for (const ZipEntry& e : entries) {
        if (e.kind == ZipEntry::Kind::Folder) {
            ASSERT_GE(zip_dir_add(za, e.name.c_str(), ZIP_FL_ENC_UTF_8), 0);
            continue;
        }
        zip_source_t* src = zip_source_buffer(za, e.data.data(), e.data.size(), 0);
        const zip_int64_t i = zip_file_add(za, e.name.c_str(), src, ZIP_FL_ENC_UTF_8);
        ASSERT_GE(i, 0) << zip_strerror(za);
        const auto index = static_cast<zip_uint64_t>(i);
        if (e.kind == ZipEntry::Kind::Stored)
            zip_set_file_compression(za, index, ZIP_CM_STORE, 0);
        if (e.kind == ZipEntry::Kind::Link)
            zip_file_set_external_attributes(za, index, 0, ZIP_OPSYS_UNIX,
                                             static_cast<zip_uint32_t>(S_IFLNK | 0777) << 16);
    }
    ASSERT_EQ(zip_close(za), 0) << zip_strerror(za);
}

// Every file and folder below `dir`, relative, folders ending in "/", sorted.
QStringList Listing(const QString& dir)
{
    QStringList found;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        found << QDir(dir).relativeFilePath(path) + (info.isDir() && !info.isSymLink() ? "/" : "");
    }
    found.sort();
    return found;
}

// Bytes no text conversion may touch: line ends of all kinds, NUL, the high half.
std::string AwkwardBytes()
{
    std::string s = "MSH|^~\\&|A\r\nPID|1\r\n\n\r\x1a";
    for (int c = 0; c < 256; ++c)
        s += static_cast<char>(c);
    return s;
}

// A few megabytes that compress poorly, to go through the copy in many chunks.
std::string BigBytes()
{
    std::string s(3 * 1024 * 1024 + 17, '\0');
    uint32_t x = 12345;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

class UnzipTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString zipPath = tmp.filePath(QStringLiteral("in.zip"));
    QString out = tmp.filePath(QStringLiteral("out/deep"));  // not there yet
    ScriptedResponder responder;
    CGUnzipFiles unzip{responder};

    QString Out(const QString& name) const { return out + u'/' + name; }
    int32_t Run() { return unzip.Unzip(zipPath, out); }
    // An archive made by Debian's zip, which writes encrypted entries as real archives have them.
    void ZipCommand(const QStringList& arguments, const QString& inFolder)
    {
        QProcess zip;
        zip.setWorkingDirectory(inFolder);
        zip.start(QStringLiteral("zip"), QStringList{QStringLiteral("-q")} + arguments);
        ASSERT_TRUE(zip.waitForFinished(30000));
        ASSERT_EQ(zip.exitCode(), 0) << zip.readAllStandardError().toStdString();
    }
};

// ---------------------------------------------------------------------------------------------
// The print rule

TEST(UnzipPrintText, LeadingLineFeedBecomesOneLineBreak)
{
    const struct {
        QString text;
        QString added;
    } cases[] = {
        {QStringLiteral("\n"), QStringLiteral("\r\n")},
        {QStringLiteral("\nmore text"), QStringLiteral("\r\n")},
        {QStringLiteral("\n\n"), QStringLiteral("\r\n")},
        {QStringLiteral("Extracting a.txt"), QStringLiteral("Extracting a.txt")},
        {QStringLiteral("end\n"), QStringLiteral("end\n")},
        {QStringLiteral("\r\n"), QStringLiteral("\r\n")},
        {QString::fromUtf16(u"ab\0cd", 5), QStringLiteral("ab")},
        {QString::fromUtf16(u"\0\n", 2), QString()},
        {QString(), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::UnzipPrintText(c.text), c.added) << c.text.toStdString();
}

TEST_F(UnzipTest, MessageLinesEndInOneCrLf)
{
    MakeZip(zipPath, {{"a.txt", "x"}});
    ASSERT_EQ(Run(), result::Ok);
    EXPECT_EQ(unzip.GetLastMessage(),
              QStringLiteral("Archive:  ") + zipPath + QStringLiteral("\r\nExtracting a.txt\r\n"));
}

// ---------------------------------------------------------------------------------------------
// Options

TEST(UnzipOptions, Defaults)
{
    ScriptedResponder responder;
    const CGUnzipFiles u(responder);
    // In the order of the option table; only folders, replacing and case are on.
    const std::vector<bool> flags{u.ExtractNewer(),    u.SpaceToUnderScore(), u.PromptOverwrite(),
                                  u.WriteToStdOut(),   u.TestZip(),           u.ExtractOnlyNewer(),
                                  u.DisplayComment(),  u.HonorDirectories(),  u.OverWriteFiles(),
                                  u.ConvertCRtoCRLF(), u.Verbose(),           u.CaseSensitive()};
    EXPECT_EQ(flags, (std::vector<bool>{false, false, false, false, false, false, false, true, true,
                                        false, false, true}));
    EXPECT_EQ((std::vector<int>{u.MessageLevel(), u.ExtractList(), u.Privilege()}),
              (std::vector<int>{2, 0, 0}));
    EXPECT_TRUE(u.ZipFileName().isEmpty() && u.ExtractDir().isEmpty());
}

TEST_F(UnzipTest, EmptyArgumentsUseTheProperties)
{
    MakeZip(zipPath, {{"a.txt", "one"}});
    const QString second = tmp.filePath(QStringLiteral("second.zip"));
    MakeZip(second, {{"b.txt", "two"}});

    unzip.setZipFileName(zipPath);
    unzip.setExtractDir(out);
    ASSERT_EQ(unzip.Unzip(), result::Ok);
    EXPECT_EQ(Listing(out), QStringList{"a.txt"});

    const QString other = tmp.filePath(QStringLiteral("other"));
    ASSERT_EQ(unzip.Unzip(second, other), result::Ok);
    EXPECT_EQ(unzip.ZipFileName(), second);
    EXPECT_EQ(unzip.ExtractDir(), other);
    QFile::remove(other + QStringLiteral("/b.txt"));
    ASSERT_EQ(unzip.Unzip(), result::Ok);  // the names given last time stay
    EXPECT_EQ(Listing(other), QStringList{"b.txt"});
    EXPECT_EQ(Listing(out), QStringList{"a.txt"});
}

// ---------------------------------------------------------------------------------------------
// Layout and content

TEST_F(UnzipTest, FoldersFlattenedOrKept)
{
    const std::string awkward = AwkwardBytes();
    const std::string big = BigBytes();
    MakeZip(zipPath, {{"dir/a.txt", awkward},
                      {"dir/sub/big.bin", big},
                      {"c.txt", ""},
                      {"win\\d.txt", "d"},
                      {"my file.txt", "s"},
                      {"empty", "", ZipEntry::Kind::Folder}});
    const struct {
        bool honor;
        bool underscore;
        QStringList listing;
        QString awkwardAt, bigAt;
    } cases[] = {
        {false, false, {"a.txt", "big.bin", "c.txt", "d.txt", "my file.txt"}, "a.txt", "big.bin"},
        {true,
         false,
         {"c.txt", "dir/", "dir/a.txt", "dir/sub/", "dir/sub/big.bin", "empty/", "my file.txt",
          "win/", "win/d.txt"},
         "dir/a.txt",
         "dir/sub/big.bin"},
        {false, true, {"a.txt", "big.bin", "c.txt", "d.txt", "my_file.txt"}, "a.txt", "big.bin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.listing.join(' ').toStdString());
        QDir(out).removeRecursively();
        unzip.setHonorDirectories(c.honor);
        unzip.setSpaceToUnderScore(c.underscore);
        EXPECT_EQ(Run(), result::Ok) << unzip.GetLastMessage().toStdString();
        EXPECT_EQ(Listing(out), c.listing);
        EXPECT_TRUE(ReadBytes(Out(c.awkwardAt)) == awkward);
        EXPECT_TRUE(ReadBytes(Out(c.bigAt)) == big);
    }
}

TEST_F(UnzipTest, ExistingFiles)
{
    MakeZip(zipPath, {{"a.txt", "new a"}, {"b.txt", "new b"}});
    const struct {
        const char* name;
        bool overwrite, prompt;
        std::optional<MsgAnswer> answer;
        int32_t expected;
        std::string a;
        bool bWritten;
    } cases[] = {
        {"OverwriteByDefault", true, false, {}, result::Ok, "new a", true},
        {"OverwriteNeverAsks", true, true, {}, result::Ok, "new a", true},
        {"SkipSilently", false, false, {}, result::Ok, "old a", true},
        {"AskYes", false, true, MsgAnswer::Yes, result::Ok, "new a", true},
        {"AskNo", false, true, MsgAnswer::No, result::Ok, "old a", true},
        {"AskCancelStops", false, true, MsgAnswer::Cancel, result::Cancelled, "old a", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        WriteBytes(Out("a.txt"), "old a");
        responder.Clear();
        if (c.answer)
            responder.QueueAnswer(*c.answer);
        unzip.setOverWriteFiles(c.overwrite);
        unzip.setPromptOverwrite(c.prompt);

        EXPECT_EQ(Run(), c.expected);
        EXPECT_EQ(ReadBytes(Out("a.txt")), c.a);
        EXPECT_EQ(QFile::exists(Out("b.txt")), c.bWritten);
        ASSERT_EQ(responder.shown().size(), c.answer ? 1u : 0u);
        if (c.answer) {
            const auto& box = responder.shown()[0];
            EXPECT_EQ(box.text, QStringLiteral("Overwrite ") + Out("a.txt") + u'?');
            EXPECT_EQ(box.title, QStringLiteral("VBUnZip32 - File Already Exists!"));
            EXPECT_EQ(box.buttons, MsgButtons::YesNoCancel);
            EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Passwords

TEST_F(UnzipTest, PasswordPrompts)
{
    const QString src = tmp.filePath(QStringLiteral("src"));
    QDir().mkpath(src);
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        WriteBytes(src + u'/' + name, std::string("secret content of ") + name);
    ZipCommand({QStringLiteral("-P"), QStringLiteral("secret"), zipPath, "a.txt", "b.txt", "c.txt"},
               src);

    using Answers = std::vector<std::optional<QString>>;
    const struct {
        const char* name;
        Answers answers;
        int32_t expected;
        QStringList extracted;
    } cases[] = {
        {"Right", {QStringLiteral("secret")}, result::Ok, {"a.txt", "b.txt", "c.txt"}},
        {"EmptyStopsPrompting", {QString()}, result::BadPassword, {}},
        {"CancelStopsPrompting", {std::nullopt}, result::BadPassword, {}},
        {"WrongThenRight",
         {QStringLiteral("wrong"), QStringLiteral("secret")},
         result::BadPassword,
         {"b.txt", "c.txt"}},
        {"WrongThenEmpty", {QStringLiteral("wrong"), QString()}, result::BadPassword, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(out).removeRecursively();
        responder.Clear();
        for (const auto& a : c.answers)
            responder.QueueInput(a);

        EXPECT_EQ(Run(), c.expected);
        EXPECT_EQ(Listing(out), c.extracted);
        EXPECT_EQ(responder.shown().size(), c.answers.size());
        EXPECT_TRUE(responder.allAnswersUsed());
        for (const auto& box : responder.shown()) {
            EXPECT_EQ(box.text, QStringLiteral("Please Enter The Password!"));
            EXPECT_EQ(box.title, QStringLiteral("Quillon"));
            EXPECT_TRUE(box.defaultText.isEmpty());
        }
        for (const QString& name : c.extracted)
            EXPECT_EQ(ReadBytes(Out(name)), "secret content of " + name.toStdString());
        // Every entry left behind is named in the message.
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
            if (!c.extracted.contains(name)) {
                EXPECT_TRUE(unzip.GetLastMessage().contains(name)) << name;
            }
        }
    }
}

TEST_F(UnzipTest, WrongPasswordThatPassesTheOneByteCheckIsAWrongPassword)
{
    const QString src = tmp.filePath(QStringLiteral("src"));
    QDir().mkpath(src);
    WriteBytes(src + QStringLiteral("/a.txt"), std::string(4000, 'a') + "secret content");
    ZipCommand({QStringLiteral("-P"), QStringLiteral("secret"), zipPath, "a.txt"}, src);
    // About one wrong password in 256 gets past the traditional encryption's check byte.
    zip_t* za = zip_open(zipPath.toUtf8().constData(), ZIP_RDONLY, nullptr);
    ASSERT_NE(za, nullptr);
    std::string passing;
    for (int i = 0; i < 20000 && passing.empty(); ++i) {
        const std::string candidate = "w" + std::to_string(i);
        if (zip_file_t* f = zip_fopen_index_encrypted(za, 0, 0, candidate.c_str())) {
            zip_fclose(f);
            passing = candidate;
        }
    }
    zip_close(za);
    ASSERT_FALSE(passing.empty());
    // Such a password is told apart by the entry's checksum: a wrong password, not a damaged
    // archive, and nothing half-written.
    responder.QueueInput(QString::fromStdString(passing));
    EXPECT_EQ(Run(), result::BadPassword);
    EXPECT_TRUE(unzip.GetLastMessage().contains(QStringLiteral("wrong password")));
    EXPECT_FALSE(QFile::exists(Out("a.txt")));
}

// ---------------------------------------------------------------------------------------------
// Entries that would land outside the extract folder

TEST_F(UnzipTest, EntriesLeavingTheFolderAreRefused)
{
    for (const bool honor : {true, false}) {
        SCOPED_TRACE(honor);
        QDir(tmp.filePath(QStringLiteral("out"))).removeRecursively();
        MakeZip(zipPath, {{"../evil.txt", "evil"},
                          {"a/../../evil2.txt", "evil"},
                          {"..\\evil3.txt", "evil"},
                          {"/tmp/quillon-unzip-evil.txt", "evil"},
                          {"link", "../../", ZipEntry::Kind::Link},
                          {"good.txt", "good"}});
        unzip.setHonorDirectories(honor);

        EXPECT_EQ(Run(), result::Warning);
        EXPECT_EQ(Listing(tmp.path()),
                  (QStringList{"in.zip", "out/", "out/deep/", "out/deep/good.txt"}));
        EXPECT_FALSE(QFile::exists(QStringLiteral("/tmp/quillon-unzip-evil.txt")));
        for (const char* name : {"../evil.txt", "a/../../evil2.txt", "..\\evil3.txt",
                                 "/tmp/quillon-unzip-evil.txt", "Refused link"})
            EXPECT_TRUE(unzip.GetLastMessage().contains(name)) << name;
    }
}

TEST_F(UnzipTest, LinksAlreadyInTheFolderAreNotFollowed)
{
    const QString elsewhere = tmp.filePath(QStringLiteral("elsewhere"));
    QDir().mkpath(elsewhere);
    QDir().mkpath(out);
    WriteBytes(elsewhere + QStringLiteral("/victim.txt"), "keep");
    ASSERT_TRUE(QFile::link(elsewhere, Out("linked")));
    ASSERT_TRUE(QFile::link(elsewhere + QStringLiteral("/victim.txt"), Out("a.txt")));
    MakeZip(zipPath, {{"linked/x.txt", "evil"}, {"a.txt", "new a"}});

    EXPECT_EQ(Run(), result::Warning);
    EXPECT_EQ(Listing(elsewhere), QStringList{"victim.txt"});
    EXPECT_EQ(ReadBytes(elsewhere + QStringLiteral("/victim.txt")), "keep");
    // The link itself is replaced by the extracted file.
    EXPECT_FALSE(QFileInfo(Out("a.txt")).isSymLink());
    EXPECT_EQ(ReadBytes(Out("a.txt")), "new a");
}

// ---------------------------------------------------------------------------------------------
// Damaged archives

TEST_F(UnzipTest, DamagedArchivesFailWithAMessage)
{
    const std::string payload = "PAYLOAD-" + std::string(200, 'p');
    MakeZip(zipPath, {{"good.txt", "good"}, {"bad.txt", payload, ZipEntry::Kind::Stored}});
    const std::string whole = ReadBytes(zipPath);
    const size_t at = whole.find("PAYLOAD-");
    ASSERT_NE(at, std::string::npos);
    std::string flipped = whole;
    flipped[at + 100] ^= 0x01;

    const struct {
        const char* name;
        std::optional<std::string> bytes;  // none: no file at all
        int32_t expected;
        QStringList extracted;
    } cases[] = {
        {"Missing", std::nullopt, result::NoZip, {}},
        {"NotAZip", "just some text, not an archive", result::NoZip, {}},
        {"Empty", "", result::NoZip, {}},
        {"Truncated", whole.substr(0, whole.size() / 2), result::NoZip, {}},
        {"CorruptEntry", flipped, result::EntryError, {"good.txt"}},
    };
    for (const auto& c : cases) {
        for (const bool test : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (test ? " tested" : ""));
            QDir(out).removeRecursively();
            QFile::remove(zipPath);
            if (c.bytes)
                WriteBytes(zipPath, *c.bytes);
            unzip.setTestZip(test);

            EXPECT_EQ(Run(), c.expected);
            EXPECT_FALSE(unzip.GetLastMessage().isEmpty());
            EXPECT_EQ(Listing(out), test ? QStringList{} : c.extracted);
        }
    }
}

TEST_F(UnzipTest, NoZipNameGiven)
{
    EXPECT_EQ(unzip.Unzip(), result::BadParameter);
    EXPECT_FALSE(unzip.GetLastMessage().isEmpty());
}

TEST_F(UnzipTest, TestZipWritesNothing)
{
    MakeZip(zipPath, {{"dir/a.txt", "a"}, {"b.txt", "b"}});
    unzip.setTestZip(true);
    EXPECT_EQ(Run(), result::Ok);
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_TRUE(unzip.GetLastMessage().contains(QStringLiteral("Testing dir/a.txt OK")));
}

}  // namespace
}  // namespace quillon::test
