// Replace All in whole-record mode with one hit per record, over generated records, next to one
// memmem pass over the same bytes in the same run; at 100,000 and 1,000,000 records.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "editing/ReplaceRecords.h"

using namespace quillon;

namespace {

bool Measure(int count)
{
    RecordStore store;
    size_t bytes = 0;
    for (int i = 1; i <= count; ++i) {
        store.Append(bench::GeneratedRecord(i));
        bytes += store.Record(i).size();
    }
    const Delimiters delimiters;
    SearchRequest request;
    request.MatchCase = true;
    double scan = 1e9, replace = 1e9;
    int32_t replaced = 0;
    for (int run = 0; run < 4; ++run) {
        // SENDER stands once in each record's header; the runs swap it back and forth.
        request.FindText = run % 2 ? "SENDOR" : "SENDER";
        request.ReplaceText = run % 2 ? "SENDER" : "SENDOR";
        QElapsedTimer t;
        t.start();
        const int32_t hits = bench::MemmemPass(store, request.FindText);
        scan = std::min(scan, bench::Seconds(t));
        t.start();
        replaced = RecordListReplaceAll(store, request, delimiters, '\r', 1, store.RecordCount);
        replace = std::min(replace, bench::Seconds(t));
        if (hits != count || replaced != count) {
            std::printf("wrong count: %d hits, %d replaced of %d\n", hits, replaced, count);
            return false;
        }
    }
    const double ratio = replace / scan;
    std::printf("%8d records (%.0f MB): Replace All %.3f s, memmem pass %.3f s, ratio %.2f "
                "(goal 5)\n",
                count, static_cast<double>(bytes) / 1e6, replace, scan, ratio);
    return ratio <= 5.0;
}

// Field mode as Assign Value runs it: every OBX-5 (four a record) set to one value.
void MeasureFieldMode(int count)
{
    RecordStore store;
    for (int i = 1; i <= count; ++i)
        store.Append(bench::GeneratedRecord(i));
    SearchRequest request;
    request.MatchCase = true;
    request.FindText = std::string(AnythingFindText);
    request.ReplaceFieldName = "OBX-5";
    request.ReplaceText = "9.9";
    QElapsedTimer t;
    t.start();
    const int32_t hits = bench::MemmemPass(store, "OBX|");
    const double scan = bench::Seconds(t);
    t.start();
    const int32_t replaced =
        RecordListReplaceAll(store, request, Delimiters(), '\r', 1, store.RecordCount);
    const double assign = bench::Seconds(t);
    std::printf("%8d records, field mode: OBX-5 assigned %.3f s, memmem pass %.3f s, ratio "
                "%.2f%s\n",
                count, assign, scan, assign / scan,
                hits == count && replaced == 4 * count ? "" : "  WRONG RESULT");
}

// The main window's Replace All over the same records: its undo point taken (its file is
// written beside the window), the
// run, the page shown again and the count reported.
bool MeasureWindow(int count)
{
    bench::BenchWindow bench;
    frmMain& w = *bench.window;
    AppState& st = bench.state;
    st.undo.UndoEnabled = true;
    const size_t bytes = bench.Fill(count);
    w.CurrentPage = 1;
    w.DisplayPage(w.CurrentPage);
    st.search.FindText = "SENDER";
    st.search.ReplaceText = "SENDOR";
    st.search.MatchCase = true;
    st.search.ScopeAllRecords = true;
    st.search.ScopeSelectedRecords = false;
    QElapsedTimer t;
    t.start();
    const bool replaced = w.RecordListReplaceAll();
    const double command = bench::Seconds(t);
    t.start();
    const int32_t hits = bench::MemmemPass(st.records, "SENDOR");
    const double scan = bench::Seconds(t);
    const bool right = replaced && hits == count && st.undo.UndoLevel == 1
                       && st.session.MsgBoxText == QStringLiteral(" %1 replacements were made.").arg(count);
    std::printf("%8d records (%.0f MB), main window: Replace All %.3f s (undo point taken), "
                "memmem pass %.3f s, ratio %.2f%s\n",
                count, static_cast<double>(bytes) / 1e6, command, scan, command / scan,
                right ? "" : "  WRONG RESULT");
    return right;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const bool small = Measure(100000);
    const bool large = Measure(1000000);
    MeasureFieldMode(100000);
    const bool window = MeasureWindow(100000);
    return small && large && window ? 0 : 1;
}
