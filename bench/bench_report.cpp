// A report of five designations over 100,000 and 1,000,000 generated records, each next to one
// memmem pass over the same bytes in the same run, how the time grows from the one to the other,
// and the time to fill the report window with 100,000 rows.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "reports/ReportBuilder.h"
#include "reports/frmReport.h"

using namespace quillon;

namespace {

const std::vector<std::string> Designations = {"OBX-5", "MSH-10", "PID-3-1", "PID-5", "NTE-3"};

struct Figure {
    double seconds = 1e9;
    double reference = 1e9;
};

Figure Measure(const RecordStore& store, size_t bytes, ReportTable* keep)
{
    const Delimiters delimiters;
    const ReportRules rules{delimiters, '\r', true};
    Figure f;
    size_t rows = 0;
    bool right = true;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        const int32_t found = bench::MemmemPass(store);
        f.reference = std::min(f.reference, bench::Seconds(t) + (found != 0 ? 1e9 : 0));
        t.restart();
        ReportTable table = BuildReport(store, Designations, rules, [](int32_t, int32_t) { return true; });
        f.seconds = std::min(f.seconds, bench::Seconds(t));
        rows = table.RowCount();
        // Four OBX a record: four rows, the last carrying MSH-10 of the record.
        right = rows == 4 * static_cast<size_t>(store.RecordCount) && table.Cell(3, 0) == "11.4" &&
                table.Cell(3, 4) == "Specimen received in good condition." &&
                table.Cell(3, 1) == "MSG00000001" && table.Cell(2, 1).empty();
        if (keep != nullptr && run == 2)
            *keep = std::move(table);
    }
    const double ratio = f.seconds / f.reference;
    std::printf("%8d records (%5.0f MB), 5 designations: %8zu rows in %8.1f ms, memmem pass %7.1f ms, "
                "ratio %5.2f (goal 10x)%s%s\n",
                store.RecordCount, static_cast<double>(bytes) / 1e6, rows, f.seconds * 1e3,
                f.reference * 1e3, ratio, ratio <= 10.0 ? "" : "  MISSED", right ? "" : "  WRONG RESULT");
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Figure small, large;
    // The report reads its cells from the store it was built from, which stays for the window.
    size_t bytes = 0;
    const RecordStore store = bench::GeneratedStore(100000, bytes);
    ReportTable table;
    small = Measure(store, bytes, &table);
    {
        size_t largeBytes = 0;
        const RecordStore largeStore = bench::GeneratedStore(1000000, largeBytes);
        large = Measure(largeStore, largeBytes, nullptr);
    }
    std::printf("growth 100,000 -> 1,000,000 records: %.1fx time (memmem pass %.1fx; linear is 10x)\n",
                large.seconds / small.seconds, large.reference / small.reference);

    // The window over the first 100,000 rows of the 100,000-record report.
    ReportTable rows;
    rows.columns = table.columns;
    for (size_t r = 0; r < 100000; ++r) {
        rows.AddRow(table.Cell(r, 0));
        for (size_t c = 1; c < rows.columns.size(); ++c)
            rows.SetLastRowCell(c, table.Cell(r, c));
    }
    frmReport window;
    QElapsedTimer t;
    t.start();
    window.Fill(rows);
    const double fill = bench::Seconds(t);
    t.restart();
    window.AutoSizeColumns();
    const double autosize = bench::Seconds(t);
    std::printf("report window: %d rows filled in %.1f ms (goal 1000 ms)%s, columns sized in %.1f ms\n",
                window.lvReportList->topLevelItemCount(), fill * 1e3, fill <= 1.0 ? "" : "  MISSED",
                autosize * 1e3);
    return 0;
}
