// Find Next over generated records whose only match is in the last record, in whole-record
// and in field mode, each next to a plain memmem scan of the same bytes in the same run.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "editing/FindRecords.h"
#include "records/Pages.h"

using namespace quillon;

namespace {

int32_t ScanWithMemmem(const RecordStore& store, const std::string& needle)
{
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        const std::string_view r = store.Record(i);
        if (memmem(r.data(), r.size(), needle.data(), needle.size()) != nullptr)
            return i;
    }
    return 0;
}

bool Measure(int count)
{
    RecordStore store;
    size_t bytes = 0;
    for (int i = 1; i <= count; ++i) {
        store.Append(bench::GeneratedRecord(i));
        bytes += store.Record(i).size();
    }
    const Delimiters delimiters;
    const RecordRange range{1, store.RecordCount, 1};
    bool ok = true;

    struct Mode {
        const char* name;
        std::string text, field;
        double goal;
    };
    char controlId[32];
    std::snprintf(controlId, sizeof controlId, "MSG%08d", count);
    const Mode modes[] = {
        {"whole record", controlId, "", 3.0},
        {"field PID-5", "NUMBER^" + std::to_string(count), "PID-5", 6.0},
    };
    for (const Mode& mode : modes) {
        SearchRequest request;
        request.FindText = mode.text;
        request.FindFieldName = mode.field;
        int32_t scanned = 0;
        RecordMatch match;
        const double reference = bench::Best([&] { scanned = ScanWithMemmem(store, mode.text); }, 5);
        const double find = bench::Best([&] { match = FindRecord(store, request, delimiters, '\r', range); }, 5);
        const double ratio = find / reference;
        std::printf("%8d records (%5.0f MB), %-12s: Find Next %7.1f ms, memmem scan %6.1f ms, "
                    "ratio %.2f (goal %.0fx)%s\n",
                    count, static_cast<double>(bytes) / 1e6, mode.name, find * 1e3, reference * 1e3,
                    ratio, mode.goal, ratio <= mode.goal ? "" : "  MISSED");
        if (match.record != count || scanned != count) {
            std::printf("  wrong record: find %d, scan %d, expected %d\n", match.record, scanned, count);
            ok = false;
        }
        ok = ok && ratio <= mode.goal;
    }
    return ok;
}

// The main window's Find Next from the first row of page 1 to the last record: the search, the
// page change and the record shown with its field lines selected.
bool MeasureWindow(int count)
{
    bench::BenchWindow bench;
    frmMain& w = *bench.window;
    AppState& st = bench.state;
    const size_t bytes = bench.Fill(count);
    char controlId[32];
    std::snprintf(controlId, sizeof controlId, "MSG%08d", count);
    st.search.FindText = controlId;
    st.search.SearchDown = true;
    double best = 1e9;
    bool found = false;
    for (int run = 0; run < 5; ++run) {
        w.CurrentPage = 1;
        w.DisplayPage(w.CurrentPage);
        w.lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        w.lstRecords_Click();
        QElapsedTimer t;
        t.start();
        int32_t start = -1;
        w.RecordListFind(start, found);
        best = std::min(best, bench::Seconds(t));
    }
    int32_t scanned = 0;
    const double reference = bench::Best([&] { scanned = ScanWithMemmem(st.records, controlId); }, 5);
    const bool shown = found && scanned == count && w.CurrentPage == PageOfRecord(count)
                       && w.lstRecords->currentRow() == RowOfRecord(count);
    std::printf("%8d records (%5.0f MB), main window : Find Next %7.1f ms, memmem scan %6.1f ms, "
                "ratio %.2f (goal 3x)%s\n",
                count, static_cast<double>(bytes) / 1e6, best * 1e3, reference * 1e3,
                best / reference, shown ? "" : "  NOT SHOWN");
    return shown && best / reference <= 3.0;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    bool ok = Measure(100000);
    ok = Measure(1000000) && ok;
    ok = MeasureWindow(100000) && ok;
    return ok ? 0 : 1;
}
