// Maximum field widths and record length statistics: the main window's side. The widths window
// is modeless; its double-click reaches the main window as a signal and jumps at once.
#include <QApplication>
#include <QLocale>
#include <QSignalBlocker>

#include "analysis/MaxFieldWidths.h"
#include "analysis/RecordLengths.h"
#include "analysis/frmMaximumFieldWidths.h"
#include "app/frmMain.h"
#include "app/frmProgressIndicator.h"
#include "editing/WindowText.h"
#include "records/Pages.h"

namespace quillon {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

void frmMain::ShowRecordFromTool(int32_t n)
{
    if (n < 1 || n > st.records.RecordCount)
        return;
    const int32_t page = PageOfRecord(n);
    if (page != CurrentPage) {
        CurrentPage = page;
        DisplayPage(CurrentPage);
    }
    const int row = n - (CurrentPage - 1) * PageSize - 1;
    if (row < 0 || row >= lstRecords->count())
        return;
    activateWindow();
    lstRecords->setFocus();
    {
        const QSignalBlocker block(lstRecords);
        lstRecords->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    }
    lstRecords_Click();
    lstRecords->scrollToItem(lstRecords->item(row), QAbstractItemView::PositionAtTop);
    lblFile->setText(QStringLiteral("Rec  %1/%2").arg(n).arg(st.records.RecordCount));
}

void frmMain::MaxWidthJump(const QString& designation, qsizetype width)
{
    const std::string label = designation.toLatin1().toStdString();
    const std::string found = st.dictionary.GetHL7Description(label, false);
    const size_t slot = found.empty() ? 0 : std::stoul(found);
    const auto& records = st.analysis.MaxWidthRecords;
    const int32_t n = slot > 0 && slot < records.size() ? records[slot] : 0;
    // Records deleted, replaced or loaded anew since the run: jump only to a record that still
    // holds the width the row shows.
    bool holds = n >= 1 && n <= st.records.RecordCount;
    if (holds) {
        const MaxWidthsResult one = MeasureOneRecord(st.records.Record(n), st.delimiters,
                                                     st.envelope.EndOfBlockChar, st.dictionary);
        holds = slot < one.widths.size() && one.widths[slot] == width;
    }
    if (!holds) {
        dlg.MsgBox(QStringLiteral("The record that held the widest %1 is no longer loaded where it "
                                  "was: the records have changed since the widths were "
                                  "determined.")
                       .arg(designation),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Record Not Found"));
        return;
    }
    ShowRecordFromTool(n);
}

void frmMain::mnuToolsDetermineMaxFieldWidths_Click()
{
    if (st.records.RecordCount <= 0)
        return;
    MaxWidthsResult result;
    {
        const WaitCursor wait;
        frmProgressIndicator progress(st.session.ProgressCancelled, this);
        progress.StartRun(st.records.RecordCount);
        result = ScanMaxFieldWidths(st.records, st.delimiters, st.envelope.EndOfBlockChar,
                                    st.dictionary, [&](int32_t done) {
                                        progress.progBar->setValue(done);
                                        QApplication::processEvents();
                                        return !st.session.ProgressCancelled;
                                    });
        st.session.ProgressCancelled = false;
    }
    if (result.cancelled)
        return;

    // Only the slots measured in this run are written; the others keep older runs' records.
    std::vector<int32_t>& kept = st.analysis.MaxWidthRecords;
    if (kept.size() < result.records.size())
        kept.resize(result.records.size(), 0);
    for (size_t k = 1; k < result.widths.size(); ++k)
        if (result.widths[k] > 0)
            kept[k] = result.records[k];

    auto* window = qobject_cast<frmMaximumFieldWidths*>(frmMaximumFieldWidthsWindow.data());
    if (!window) {
        window = new frmMaximumFieldWidths(dlg, this);
        window->setAttribute(Qt::WA_DeleteOnClose);
        connect(window, &frmMaximumFieldWidths::jumpRequested, this,
                [this](const QString& designation, qsizetype width) {
                    MaxWidthJump(designation, width);
                });
        frmMaximumFieldWidthsWindow = window;
    }
    window->AddRows(MaxWidthRows(st.dictionary, result.widths));
    window->show();
    window->raise();
}

void frmMain::mnuToolsDetermineRecordStatistics_Click()
{
    if (st.records.RecordCount <= 0)
        return;
    RecordLengthStats stats;
    {
        const WaitCursor wait;
        stats = MeasureRecordLengths(st.records);
    }
    const MsgAnswer answer =
        dlg.MsgBox(RecordStatisticsMessage(stats, QLocale::system()), MsgButtons::YesNo,
                   MsgIcon::Question, QString::fromLatin1(RecordStatisticsTitle));
    if (answer == MsgAnswer::Yes)
        ShowRecordFromTool(stats.longestRecord);
}

}  // namespace quillon
