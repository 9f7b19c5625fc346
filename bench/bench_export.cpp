// A report of 100,000 rows and 5 columns exported as a delimited and as a fixed-width file
// through the export writer and the program's one file writer, each next to writing the same
// bytes with one fwrite in the same run. The writer puts the file on the disk (fdatasync) before
// it puts it in place, so the same fwrite followed by fdatasync is shown as a second reference.
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "BenchSupport.h"
#include "reports/ReportExport.h"

using namespace quillon;

namespace {

constexpr int Rows = 100000;

ExportTable GeneratedTable()
{
    ExportTable t;
    t.headings = {"OBX-5", "MSH-10", "PID-3-1", "PID-5", "NTE-3"};
    t.cells.reserve(static_cast<size_t>(Rows) * t.headings.size());
    char buf[64];
    for (int i = 1; i <= Rows; ++i) {
        std::snprintf(buf, sizeof buf, "%d.%d", 10 + i % 7, 1 + i % 4);
        t.cells.emplace_back(buf);
        std::snprintf(buf, sizeof buf, "MSG%08d", i);
        t.cells.emplace_back(buf);
        std::snprintf(buf, sizeof buf, "%08d", i);
        t.cells.emplace_back(buf);
        std::snprintf(buf, sizeof buf, "PATIENT^NUMBER^%d", i);
        t.cells.emplace_back(buf);
        t.cells.emplace_back(i % 3 == 0 ? "Specimen received, in good condition." : "");
        t.selected.push_back(i % 2);
    }
    return t;
}

bool Export(const ExportTable& table, const ExportOptions& options, const QString& path,
            size_t& bytes)
{
    const std::string out = ExportBytes(table, options, nullptr);
    bytes = out.size();
    return WriteExportFile(path, out, nullptr);
}

// The reference: the same bytes with one fwrite; with `sync`, also put on the disk as the writer
// does before it renames its copy into place.
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

void Measure(const char* name, const ExportTable& table, const ExportOptions& options,
             const QTemporaryDir& dir)
{
    const QString path = dir.filePath("export.txt");
    const QString reference = dir.filePath("reference.txt");
    const std::string expected = ExportBytes(table, options, nullptr);
    double seconds = 1e9, writer = 1e9, plain = 1e9, synced = 1e9;
    size_t bytes = 0;
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
        right = ExportBytes(table, options, nullptr).size() == expected.size() && right;
        writer = std::min(writer, bench::Seconds(t));
        t.restart();
        right = Export(table, options, path, bytes) && right;
        seconds = std::min(seconds, bench::Seconds(t));
    }
    QFile written(path);
    right = right && written.open(QIODevice::ReadOnly) &&
            written.readAll() == QByteArray::fromStdString(expected);
    const double ratio = seconds / plain;
    std::printf("%-12s %d rows x 5 columns (%4.1f MB): export %6.1f ms (writer alone %5.1f ms), "
                "one fwrite %5.1f ms, ratio %5.2f (goal 3x)%s; fwrite + fdatasync %5.1f ms, ratio %4.2f%s\n",
                name, Rows, static_cast<double>(bytes) / 1e6, seconds * 1e3, writer * 1e3, plain * 1e3,
                ratio, ratio <= 3.0 ? "" : "  MISSED", synced * 1e3, seconds / synced,
                right ? "" : "  WRONG RESULT");
}

}  // namespace

int main()
{
    const ExportTable table = GeneratedTable();
    QTemporaryDir dir;
    ExportOptions delimited;
    delimited.order = {0, 1, 2, 3, 4};
    delimited.useDescriptions = false;
    delimited.selectedOnly = false;
    Measure("delimited", table, delimited, dir);

    ExportOptions fixed = delimited;
    fixed.kind = ExportKind::FixedWidth;
    const std::vector<int> widths = DefaultWidths(table);
    for (const int w : widths)
        fixed.formats.push_back(ColumnFormat{w, w != widths[0], false});
    Measure("fixed width", table, fixed, dir);
    return 0;
}
