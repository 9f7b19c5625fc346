// Deleting record #1 through the middle record: the store operation at 100,000 and 1,000,000
// generated records (one block move, so the time grows with the records, never with their
// square), and the whole Ctrl+Shift+Home delete command at 100,000 (undo point taken, its
// file written beside the window, and page 1 shown), each next to a memmem pass over the same bytes in the same run.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "editing/DeleteRecords.h"
#include "records/Pages.h"

using namespace quillon;

namespace {

double MemmemPass(const RecordStore& store)
{
    static const char needle[] = "NO SUCH TEXT";
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        int32_t found = 0;
        for (int32_t i = 1; i <= store.RecordCount; ++i) {
            const std::string_view r = store.Record(i);
            found += memmem(r.data(), r.size(), needle, sizeof needle - 1) != nullptr ? 1 : 0;
        }
        best = std::min(best, bench::Seconds(t));
        if (found != 0)
            std::printf("unexpected match\n");
    }
    return best;
}

bool Right(const RecordStore& store, int count)
{
    return store.RecordCount == count / 2 && store.Record(1) == bench::GeneratedRecord(count / 2 + 1)
           && store.Record(count / 2) == bench::GeneratedRecord(count)
           && store.Record(count / 2 + 1).empty();
}

struct Figure {
    double seconds, reference;
};

Figure MeasureStore(int count)
{
    size_t bytes = 0;
    RecordStore store = bench::GeneratedStore(count, bytes);
    const double reference = MemmemPass(store);
    QElapsedTimer t;
    t.start();
    DeleteRecordRange(store, 1, count / 2);
    const double seconds = bench::Seconds(t);
    std::printf("%8d records (%4.0f MB), delete #1 through #%d: %7.2f ms, memmem pass %6.1f ms, "
                "ratio %.3f%s\n",
                count, static_cast<double>(bytes) / 1e6, count / 2, seconds * 1e3, reference * 1e3,
                seconds / reference, Right(store, count) ? "" : "  WRONG RESULT");
    return {seconds, reference};
}

void MeasureCommand(int count)
{
    bench::BenchWindow bench;
    frmMain& w = *bench.window;
    AppState& st = bench.state;
    st.undo.UndoEnabled = true;
    w.mnuOptionsPromptBeforeDeleting->setChecked(false);
    size_t bytes = 0;
    st.records = bench::GeneratedStore(count, bytes);
    const double reference = MemmemPass(st.records);
    w.CurrentPage = PageOfRecord(count / 2);
    w.DisplayPage(w.CurrentPage);
    w.lstRecords->setCurrentRow(RowOfRecord(count / 2), QItemSelectionModel::ClearAndSelect);
    QElapsedTimer t;
    t.start();
    w.mnuCtrlShiftHomeDelete_Click();
    const double seconds = bench::Seconds(t);
    std::printf("%8d records (%4.0f MB), Ctrl+Shift+Home delete command (undo point included): "
                "%7.1f ms, memmem pass %6.1f ms, ratio %.2f%s\n",
                count, static_cast<double>(bytes) / 1e6, seconds * 1e3, reference * 1e3,
                seconds / reference,
                Right(st.records, count) && w.CurrentPage == 1 ? "" : "  WRONG RESULT");
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const Figure small = MeasureStore(100000);
    const Figure large = MeasureStore(1000000);
    std::printf("10x the records: delete %.1fx the time, memmem pass %.1fx (linear: both about 10x)\n",
                large.seconds / small.seconds, large.reference / small.reference);
    MeasureCommand(100000);
    return 0;
}
