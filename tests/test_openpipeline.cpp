#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "files/OpenPipeline.h"
#include "platform/Unzip.h"

namespace quillon::test {
namespace {

TEST(OpenPipelineNames, CompressedNamesAndOrdinalOrder)
{
    const struct {
        const char* name;
        bool gzip, zip;
    } cases[] = {{"a.gz", true, false},  {"a.Z", true, false},   {"a.GZ", false, false},
                 {"a.z", false, false},  {"a.zip", false, true}, {"A.ZIP", false, true},
                 {"a.hl7", false, false}, {"gz", false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsGzipName(QLatin1String(c.name)), c.gzip) << c.name;
        EXPECT_EQ(IsZipName(QLatin1String(c.name)), c.zip) << c.name;
    }
    EXPECT_EQ(SortOrdinal({"b.hl7", "a.hl7", "B.hl7", "A.hl7"}),
              QStringList({"A.hl7", "B.hl7", "a.hl7", "b.hl7"}));
}

TEST(OpenPipelineNames, FileTypeListPreselectsTheDefault)
{
    std::array<QString, 10> ext{"*.*", "*.dat", "*.txt"};
    FileTypeList list = BuildFileTypeList(ext, "*.dat");
    EXPECT_EQ(list.patterns, QStringList({"*.*", "*.dat", "*.txt"}));
    EXPECT_EQ(list.selected, 1);
    EXPECT_EQ(BuildFileTypeList(ext, "*.hl7").selected, 0);
}

class PipelineFolder : public ::testing::Test {
public:
    QString Path(const QString& name) const { return dir.filePath(name); }
    void Gzip(const QString& name, const std::string& bytes, const char* tool = "gzip")
    {
        WriteBytes(Path(name), bytes);
        ASSERT_EQ(QProcess::execute(QLatin1String(tool), {"-f", Path(name)}), 0);
    }
    Decompressors Tools()
    {
        Decompressors t;
        t.gunzip = [](const QString& p, QString* errorOutput) { return RunGunzip(p, 20000, errorOutput); };
        t.unzip = [this](const QString& p, const QString& folder, QString* message) {
            platform::CGUnzipFiles unzip(responder);
            unzip.setZipFileName(p);
            unzip.setExtractDir(folder);
            unzip.setHonorDirectories(false);
            const int rc = unzip.Unzip();
            *message = unzip.GetLastMessage();
            return rc;
        };
        t.zipFailed = [this](const QString& m) { zipMessages << m; };
        return t;
    }
    QTemporaryDir dir;
    platform::ScriptedResponder responder;
    QStringList zipMessages;
};

TEST_F(PipelineFolder, GzipAndCompressFilesAreDecompressedInPasses)
{
    Gzip("x.hl7", "MSH|x\r");
    WriteBytes(Path("y.hl7"), "MSH|y\r");
    ASSERT_EQ(QProcess::execute("compress", {"-f", Path("y.hl7")}), 0);
    // A gzip file inside a gzip file needs a second pass.
    Gzip("z.hl7", "MSH|z\r");
    ASSERT_TRUE(QFile::rename(Path("z.hl7.gz"), Path("z.hl7.gz.inner")));
    WriteBytes(Path("z.hl7.gz"), ReadBytes(Path("z.hl7.gz.inner")));
    QFile::remove(Path("z.hl7.gz.inner"));
    Gzip("z.hl7.gz", ReadBytes(Path("z.hl7.gz")));

    const DecompressOutcome out = DecompressFolder(dir.path(), Tools());
    ASSERT_EQ(out.kind, DecompressOutcome::Kind::Done);
    EXPECT_EQ(out.files, QStringList({Path("x.hl7"), Path("y.hl7"), Path("z.hl7")}));
    EXPECT_EQ(ReadBytes(Path("z.hl7")), "MSH|z\r");
}

// A gzip file of `size` bytes made of many distinct records, so it is not all one repeat.
std::string Records(size_t size)
{
    std::string many;
    for (int i = 0; many.size() < size; ++i)
        many += "MSH|^~\\&|" + std::to_string(i * 7919 % 100003) + "\r";
    return many;
}

TEST_F(PipelineFolder, ProblemsEndTheLoopWithTheFileNamed)
{
    const auto cut = [](PipelineFolder& f, const QString& name) {
        const std::string whole = ReadBytes(f.Path(name));
        WriteBytes(f.Path(name), whole.substr(0, whole.size() / 2));
    };
    const struct {
        const char* name;
        std::function<void(PipelineFolder&)> prepare;
        std::function<int(const QString&, QString*)> gunzip;
        DecompressOutcome::Kind kind;
        const char* failed;
        const char* reason;  // of Damaged
    } cases[] = {
        {"NotGzipData", [](PipelineFolder& f) { WriteBytes(f.Path("a.gz"), "plain text"); },
         nullptr, DecompressOutcome::Kind::NotCompressed, "a.gz", ""},
        {"NotCompressData", [](PipelineFolder& f) { WriteBytes(f.Path("a.Z"), "plain text"); },
         nullptr, DecompressOutcome::Kind::NotCompressed, "a.Z", ""},
        {"TruncatedGzip",
         [&cut](PipelineFolder& f) {
             f.Gzip("a.hl7", Records(200000));
             cut(f, "a.hl7.gz");
         },
         nullptr, DecompressOutcome::Kind::Damaged, "a.hl7.gz", "unexpected end of file"},
        {"GzipFailsItsCheck",
         [](PipelineFolder& f) {
             f.Gzip("a.hl7", Records(200000));
             std::string bytes = ReadBytes(f.Path("a.hl7.gz"));
             bytes[bytes.size() - 6] ^= 0x55;  // the stored check of the data
             WriteBytes(f.Path("a.hl7.gz"), bytes);
         },
         nullptr, DecompressOutcome::Kind::Damaged, "a.hl7.gz", "invalid compressed data--crc error"},
        {"DamagedCompress",
         [](PipelineFolder& f) {
             f.Gzip("a.hl7", Records(200000), "compress");
             std::string bytes = ReadBytes(f.Path("a.hl7.Z"));
             bytes.replace(1000, 100, std::string(100, '\xff'));
             WriteBytes(f.Path("a.hl7.Z"), bytes);
         },
         nullptr, DecompressOutcome::Kind::Damaged, "a.hl7.Z", "corrupt input"},
        {"NoGzipProgram", [](PipelineFolder& f) { f.Gzip("a.hl7", "MSH|\r"); },
         [](const QString&, QString*) { return -1; }, DecompressOutcome::Kind::GzipMissing, "a.hl7.gz", ""},
        // gzip will not overwrite a.hl7, keeps a.hl7.gz and exits 2: a failure, not a retry.
        {"GzipRefusesToOverwrite",
         [](PipelineFolder& f) {
             f.Gzip("a.hl7", "MSH|gz\r");
             WriteBytes(f.Path("a.hl7"), "MSH|plain\r");
         },
         nullptr, DecompressOutcome::Kind::Failed, "a.hl7.gz", ""},
        // A decompressor that says it worked but leaves the file: the next pass stops.
        {"SameFileAfterAPass", [](PipelineFolder& f) { f.Gzip("a.hl7", "MSH|gz\r"); },
         [](const QString&, QString*) { return 0; }, DecompressOutcome::Kind::Stuck, "a.hl7.gz", ""},
        // An archive whose second entry fails its check: the first one alone is not loaded.
        {"DamagedZip",
         [](PipelineFolder& f) {
             WriteBytes(f.Path("a.hl7"), Records(1000));
             WriteBytes(f.Path("b.hl7"), "MSH|b-entry\r");
             ASSERT_EQ(QProcess::execute("zip", {"-q0j", f.Path("c.zip"), f.Path("a.hl7"), f.Path("b.hl7")}), 0);
             QFile::remove(f.Path("a.hl7"));
             QFile::remove(f.Path("b.hl7"));
             std::string bytes = ReadBytes(f.Path("c.zip"));
             bytes.replace(bytes.find("b-entry"), 7, "B-ENTRY");  // stored, so its bytes show
             WriteBytes(f.Path("c.zip"), bytes);
         },
         nullptr, DecompressOutcome::Kind::ZipDamaged, "c.zip", ""},
        {"TruncatedZip",
         [&cut](PipelineFolder& f) {
             WriteBytes(f.Path("a.hl7"), Records(100000));
             ASSERT_EQ(QProcess::execute("zip", {"-qj", f.Path("c.zip"), f.Path("a.hl7")}), 0);
             QFile::remove(f.Path("a.hl7"));
             cut(f, "c.zip");
         },
         nullptr, DecompressOutcome::Kind::ZipDamaged, "c.zip", ""},
        {"EmptyFolder", [](PipelineFolder&) {}, nullptr, DecompressOutcome::Kind::Empty, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EmptyFolder(dir.path());
        zipMessages.clear();
        c.prepare(*this);
        Decompressors tools = Tools();
        if (c.gunzip)
            tools.gunzip = c.gunzip;
        const DecompressOutcome out = DecompressFolder(dir.path(), tools);
        EXPECT_EQ(out.kind, c.kind);
        EXPECT_EQ(QFileInfo(out.failedFile).fileName(), QLatin1String(c.failed));
        EXPECT_EQ(out.reason.toStdString(), c.reason);
        EXPECT_EQ(zipMessages.size(), out.kind == DecompressOutcome::Kind::ZipDamaged ? 1 : 0);
    }
}

TEST_F(PipelineFolder, ZipArchiveIsExtractedFlatAndDeleted)
{
    QDir(dir.path()).mkpath("src/inner");
    WriteBytes(Path("src/inner/b.hl7"), "MSH|b\r");
    WriteBytes(Path("src/a.hl7"), "MSH|a\r");
    QProcess zip;
    zip.setWorkingDirectory(Path("src"));
    zip.start("zip", {"-qr", Path("DATA.ZIP"), "."});
    ASSERT_TRUE(zip.waitForFinished(20000));
    ASSERT_EQ(zip.exitCode(), 0);
    QDir(Path("src")).removeRecursively();

    const DecompressOutcome out = DecompressFolder(dir.path(), Tools());
    ASSERT_EQ(out.kind, DecompressOutcome::Kind::Done);
    EXPECT_EQ(out.files, QStringList({Path("a.hl7"), Path("b.hl7")}));
    EXPECT_TRUE(zipMessages.isEmpty());
}

TEST_F(PipelineFolder, GunzipStreamGivesTheBytesGzipWritesAndItsFailure)
{
    std::string content;
    for (int i = 0; content.size() < 300000; ++i)
        content += "MSH|^~\\&|" + std::to_string(i * 7919 % 100003) + "\r";
    auto readAll = [](GunzipStream& gz, int64_t* last) {
        std::string out;
        char buf[4096];
        for (int i = 0; i < 1000000; ++i) {
            *last = gz.Read(buf, sizeof buf);
            if (*last <= 0)
                break;
            out.append(buf, static_cast<size_t>(*last));
        }
        return out;
    };
    for (bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "damaged" : "whole");
        EmptyFolder(dir.path());
        Gzip("s.hl7", content);
        if (damaged)
            WriteBytes(Path("s.hl7.gz"), ReadBytes(Path("s.hl7.gz")).substr(0, 2000));
        GunzipStream gz;
        ASSERT_TRUE(gz.Start(Path("s.hl7.gz")));
        int64_t last = 0;
        const std::string got = readAll(gz, &last);
        if (damaged) {
            EXPECT_EQ(last, -1);
            EXPECT_EQ(gz.ExitCode(), 1);
            EXPECT_EQ(GzipReason(gz.ErrorOutput()).toStdString(), "unexpected end of file");
            continue;
        }
        EXPECT_EQ(gz.SizeHint(), static_cast<int64_t>(content.size()));
        EXPECT_EQ(last, 0);
        EXPECT_EQ(got, content);
        ASSERT_TRUE(gz.Rewind());  // a salvage pass reads it again
        EXPECT_EQ(readAll(gz, &last), content);
        EXPECT_EQ(gz.ExitCode(), 0);
        EXPECT_EQ(ListFolderFiles(dir.path()), QStringList{Path("s.hl7")});
        EXPECT_EQ(ReadBytes(Path("s.hl7")), content);
    }
}

TEST_F(PipelineFolder, JoinPutsALineBreakOnlyWhereAFileLacksOne)
{
    const std::string big(70000, 'x');  // longer than one read: no break inside a file
    const struct {
        const char* name;
        std::vector<std::string> files;
        std::string joined;
    } cases[] = {
        {"NoFinalBreak", {"MSH|a", std::string("MSH|\0\xff\r", 7)},
         std::string("MSH|a\r\nMSH|\0\xff\r", 14)},
        {"EndsInCr", {"MSH|a\r", "MSH|b\r"}, "MSH|a\rMSH|b\r"},
        {"EndsInLf", {"MSH|a\n", "MSH|b"}, "MSH|a\nMSH|b"},
        {"EmptyFilesAddNothing", {"", "MSH|a", "", "MSH|b"}, "MSH|a\r\nMSH|b"},
        {"LongFile", {"MSH|" + big, "MSH|b\n"}, "MSH|" + big + "\r\nMSH|b\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList paths;
        for (size_t i = 0; i < c.files.size(); ++i) {
            paths << Path(QStringLiteral("part%1").arg(i));
            WriteBytes(paths.back(), c.files[i]);
        }
        QString error;
        ASSERT_TRUE(JoinFiles(paths, Path("joined"), &error));
        EXPECT_EQ(ReadBytes(Path("joined")), c.joined);
    }
    QString error;
    EXPECT_FALSE(JoinFiles({Path("missing")}, Path("joined2"), &error));
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
}  // namespace quillon::test
