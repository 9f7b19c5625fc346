// Changing all five delimiters of 100,000 and 1,000,000 generated records (field and component
// separators swapped), next to one memmem pass over the same bytes in the same run; then Tools >
// Change Delimiters twice in the main window over 1,000,000 records, undo on: the first writes
// every record anew while its undo point keeps the old texts, the second once the first point's
// file is written, so that the old texts go as it starts.
//   bench_delimiters [window]      (window: the main window's case only)
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "editing/ChangeDelimiters.h"

using namespace quillon;

namespace {

// Where the reference pass leaves its count, so that it is not optimised away.
volatile int32_t memmemFound = 0;

int32_t MemmemPass(const RecordStore& store)
{
    static const char needle[] = "NOT-THERE";
    int32_t found = 0;
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        const std::string_view r = store.Record(i);
        found += memmem(r.data(), r.size(), needle, sizeof needle - 1) != nullptr ? 1 : 0;
    }
    memmemFound = found;
    return found;
}

// Seconds per byte of the change.
double Measure(int count)
{
    RecordStore store;
    size_t bytes = 0;
    for (int i = 1; i <= count; ++i) {
        std::string record = bench::GeneratedRecord(i);
        bytes += record.size();
        store.Append(std::move(record));
    }
    const std::string first(store.Record(1));
    double change = 1e9, reference = 1e9;
    int64_t replaced = 0;
    // An even number of runs swaps the delimiters back each time.
    for (int run = 0; run < 4; ++run) {
        QElapsedTimer t;
        t.start();
        MemmemPass(store);
        reference = std::min(reference, bench::Seconds(t));
        const Delimiters old =
            run % 2 == 0 ? Delimiters{} : DelimitersFrom({"^", "|", "~", "\\", "&"});
        t.restart();
        replaced = ChangeDelimiters(store, old, run % 2 == 0 ? "^|~\\&" : "|^~\\&");
        change = std::min(change, bench::Seconds(t));
    }
    const bool right = store.Record(1) == first && replaced > count;
    const double ratio = change / reference;
    std::printf(
        "%8d records (%5.0f MB): change delimiters %7.1f ms, memmem pass %6.1f ms, "
        "ratio %.2f (goal 3x)%s%s\n",
        count, static_cast<double>(bytes) / 1e6, change * 1e3, reference * 1e3, ratio,
        ratio <= 3.0 ? "" : "  MISSED", right ? "" : "  WRONG RESULT");
    return change / static_cast<double>(bytes);
}

// The command as a user gives it, answer typed at once: its undo point, the change, the page
// shown again and the count reported.
bool MeasureWindow(int count)
{
    bench::BenchWindow bench;
    frmMain& w = *bench.window;
    AppState& st = bench.state;
    st.undo.UndoEnabled = true;
    const size_t bytes = bench.Fill(count);
    const std::string first(st.records.Record(1));
    w.CurrentPage = 1;
    w.DisplayPage(w.CurrentPage);
    bool right = true;
    for (const char* answer : {"^|~\\&", "|^~\\&"}) {
        w.AwaitWrites();
        QElapsedTimer t;
        t.start();
        MemmemPass(st.records);
        const double reference = bench::Seconds(t);
        bench.responder.QueueInput(QString::fromLatin1(answer));
        t.restart();
        w.mnuToolsChangeDelimiters_Click();
        const double command = bench::Seconds(t);
        right = right && st.delimiters.FieldSeparator == std::string(1, answer[0])
                && !bench.responder.shown().empty()
                && bench.responder.shown().back().text.endsWith(" delimiters were replaced.");
        bench.responder.Clear();  // the boxes are known: not printed at the end
        std::printf(
            "%8d records (%5.0f MB), main window, undo on: change delimiters %7.1f ms, "
            "memmem pass %6.1f ms, ratio %.2f%s\n",
            count, static_cast<double>(bytes) / 1e6, command * 1e3, reference * 1e3,
            command / reference, answer[0] == '^' ? "" : " (the first point let go)");
    }
    right = right && st.records.Record(1) == first;
    if (!right)
        std::printf("  WRONG RESULT\n");
    return right;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "window") == 0)
        return MeasureWindow(1000000) ? 0 : 1;
    const double small = Measure(100000);
    const double large = Measure(1000000);
    std::printf("time per byte at 1,000,000 records / at 100,000: %.2f (linear: about 1)\n",
                large / small);
    return MeasureWindow(1000000) ? 0 : 1;
}
