// File > Save's writer: 100,000 generated records (57 MB, each followed by CR LF) written over an
// existing file through WriteRecordsFile, as Save and Save As write them (whole or not at all:
// written beside, flushed to disk, put in place), next to the same bytes written with one fwrite,
// and with fwrite + fdatasync, in the same run (best of 5). A small save of 20 records is timed
// the same way. Every saved file is read back and compared: a difference prints WRONG RESULT.
//   bench_save [records]   (default 100000)
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "BenchSupport.h"
#include "files/SaveRecords.h"

using namespace quillon;

namespace {

bool Fwrite(const std::string& bytes, const QString& path, bool sync)
{
    FILE* f = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (f == nullptr)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (sync)
        ok = std::fflush(f) == 0 && fdatasync(fileno(f)) == 0 && ok;
    return std::fclose(f) == 0 && ok;
}

void Measure(int count, const QTemporaryDir& dir)
{
    std::vector<std::string> records;
    std::string expected;
    for (int i = 1; i <= count; ++i) {
        records.push_back(bench::GeneratedRecord(i));
        expected += records.back() + "\r\n";
    }
    std::vector<std::string_view> pointers;
    for (const std::string& r : records)
        pointers.push_back(r);
    const QString path = dir.filePath("saved.hl7");
    const QString reference = dir.filePath("reference.hl7");
    Fwrite("old\r\n", path, false);
    double saved = 1e9, plain = 1e9, synced = 1e9;
    bool right = true;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        right = Fwrite(expected, reference, false) && right;
        plain = std::min(plain, bench::Seconds(t));
        t.restart();
        right = Fwrite(expected, reference, true) && right;
        synced = std::min(synced, bench::Seconds(t));
        t.restart();
        right = WriteRecordsFile(path, pointers, EnvelopeChars{}, false).ok && right;
        saved = std::min(saved, bench::Seconds(t));
    }
    QFile written(path);
    right = right && written.open(QIODevice::ReadOnly)
            && written.readAll() == QByteArray::fromStdString(expected);
    std::printf(
        "save %7d records (%6.2f MB): %7.2f ms; one fwrite %7.2f ms, ratio %5.2f; "
        "fwrite + fdatasync %7.2f ms, ratio %4.2f%s\n",
        count, static_cast<double>(expected.size()) / 1e6, saved * 1e3, plain * 1e3, saved / plain,
        synced * 1e3, saved / synced, right ? "" : "  WRONG RESULT");
    if (!right)
        std::exit(1);
}

}  // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    QTemporaryDir dir;
    Measure(20, dir);
    Measure(count, dir);
    return 0;
}
