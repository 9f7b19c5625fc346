// The record filter keeping every other generated record, in text mode and in field mode (the
// decision for every record and the one pass that removes the others), each next to a plain
// memmem pass over the same bytes in the same run; and how the time grows from 100,000 to
// 1,000,000 records.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>

#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include "BenchSupport.h"
#include "editing/FilterRecords.h"
#include "editing/frmFilterRecords.h"

using namespace quillon;

namespace {

// Generated records; the even ones carry sex "M" in PID-8 instead of "F".
RecordStore Store(int count, size_t& bytes)
{
    RecordStore store;
    bytes = 0;
    for (int i = 1; i <= count; ++i) {
        std::string record = bench::GeneratedRecord(i);
        if (i % 2 == 0)
            record.replace(record.find("|19700101|F|"), 12, "|19700101|M|");
        bytes += record.size();
        store.Append(std::move(record));
    }
    return store;
}

struct Figure {
    double filter = 0;     // seconds: deciding and removing
    double reference = 0;  // seconds: the memmem pass
    bool right = false;
};

Figure Measure(int count, const char* mode, const FilterCriteria& criteria,
               const std::string& needle)
{
    size_t bytes = 0;
    const RecordStore original = Store(count, bytes);
    const Delimiters delimiters;
    Figure figure;
    double bestDecide = 1e9;
    double bestReference = 1e9;
    FilterDecision decision;
    int32_t found = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        found = bench::MemmemPass(original, needle);
        bestReference = std::min(bestReference, bench::Seconds(t));
        t.restart();
        decision =
            FilterRecords(original, criteria, delimiters, '\r', [](int32_t) { return true; });
        bestDecide = std::min(bestDecide, bench::Seconds(t));
    }
    RecordStore store = original;
    QElapsedTimer t;
    t.start();
    RemoveDecided(store, decision);
    figure.filter = bestDecide + bench::Seconds(t);
    figure.reference = bestReference;
    figure.right = store.RecordCount == count / 2 && found == count / 2
                   && store.Record(1) == original.Record(2);
    const double ratio = figure.filter / figure.reference;
    std::printf(
        "%8d records (%5.0f MB), %-10s: filter %7.1f ms, memmem pass %6.1f ms, "
        "ratio %.2f (goal 4x)%s%s\n",
        count, static_cast<double>(bytes) / 1e6, mode, figure.filter * 1e3, figure.reference * 1e3,
        ratio, ratio <= 4.0 ? "" : "  MISSED", figure.right ? "" : "  WRONG RESULT");
    return figure;
}

// The whole Edit > Filter Record List command over 100,000 records: the dialog, the walk under
// the progress window, the undo point taken (its file is written
// beside the window) and page 1 shown.
bool MeasureWindow(int count)
{
    bench::BenchWindow bench;
    frmMain& w = *bench.window;
    AppState& st = bench.state;
    st.undo.UndoEnabled = true;
    size_t bytes = 0;
    st.records = Store(count, bytes);
    w.CurrentPage = 1;
    w.DisplayPage(w.CurrentPage);
    QTimer apply;
    apply.setInterval(1);
    QObject::connect(&apply, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<frmFilterRecords*>(QApplication::activeModalWidget())) {
            apply.stop();
            d->cboFilterRecords->setEditText(QStringLiteral("19700101|M"));
            d->cmdApplyFilter->click();
        }
    });
    apply.start();
    QElapsedTimer t;
    t.start();
    w.mnuEditFilterRecordList_Click();
    const double command = bench::Seconds(t);
    const double reference = [&] {
        const RecordStore original = Store(count, bytes);
        QElapsedTimer r;
        r.start();
        const int32_t found = bench::MemmemPass(original, "19700101|M");
        const double seconds = bench::Seconds(r);
        return found == count / 2 ? seconds : -seconds;
    }();
    const bool right = st.records.RecordCount == count / 2 && w.lstRecords->count() == 400
                       && st.undo.UndoLevel == 1
                       && w.lblFile->text() == QStringLiteral("Rec 1/%1").arg(count / 2);
    std::printf(
        "%8d records (%5.0f MB), main window: Filter Record List %7.1f ms (undo point "
        "taken), memmem pass %6.1f ms, ratio %.2f%s\n",
        count, static_cast<double>(bytes) / 1e6, command * 1e3, reference * 1e3,
        command / reference, right ? "" : "  WRONG RESULT");
    return right;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    FilterCriteria text;
    text.request.FilterText = "19700101|M";
    FilterCriteria field;
    field.request.FilterText = "m";
    field.request.FilterFieldName = "PID-8";
    field.MatchWholeWordOnly = true;
    bool ok = true;
    for (const auto& [mode, criteria, needle] :
         {std::tuple{"text", text, std::string("19700101|M")},
          std::tuple{"field", field, std::string("|M|")}}) {
        const Figure small = Measure(100000, mode, criteria, needle);
        const Figure large = Measure(1000000, mode, criteria, needle);
        // Linear: ten times the records take about ten times as long, judged against the
        // memmem pass's own growth on the same machine.
        const double growth = large.filter / small.filter;
        const double referenceGrowth = large.reference / small.reference;
        std::printf(
            "%-10s growth 100,000 -> 1,000,000 records: filter x%.1f, memmem pass x%.1f, "
            "ratio %.2f (goal 1.5)%s\n",
            mode, growth, referenceGrowth, growth / referenceGrowth,
            growth / referenceGrowth <= 1.5 ? "" : "  MISSED");
        ok = ok && small.right && large.right && small.filter / small.reference <= 4.0
             && large.filter / large.reference <= 4.0 && growth / referenceGrowth <= 1.5;
    }
    ok = MeasureWindow(100000) && ok;
    return ok ? 0 : 1;
}
