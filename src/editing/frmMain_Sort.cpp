// Tools > Sort on MSH-7: the records put in order of their message date and time. The order is
// found and applied in memory; the sorted records are also written to SortedFile.dat, which
// becomes the current file. A large store's file and undo point are written beside the window
// after the command has returned; when either write fails, the sort is taken back (see
// frmMain::PendingChange), so that it ends as a small store's failed write does: unsorted.
#include <QApplication>

#include "app/frmMain.h"
#include "app/frmProgressIndicator.h"
#include "editing/SortRecords.h"
#include "files/SaveRecords.h"
#include "editing/WindowText.h"
#include "platform/Background.h"
#include "platform/FileIO.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

void frmMain::mnuToolsSortMSH7_Click()
{
    const ArrivalsHold arrivals(*this);
    if (st.records.RecordCount == 0)
        return;
    const RecordsChange change(*this);
    if (!change)
        return;
    const int32_t count = st.records.RecordCount;
    std::vector<int32_t> order;
    {
        const WaitCursor wait;
        frmProgressIndicator progress(st.session.ProgressCancelled, this);
        progress.setWindowTitle(QStringLiteral("Progress: Pass 1 of 2"));
        progress.StartRun(count);
        SortKeys keys;
        const bool read = ReadSortKeys(st.records, st.delimiters, st.envelope.EndOfBlockChar, keys,
                                       [&](int32_t done) {
                                           progress.progBar->setValue(done);
                                           QApplication::processEvents();
                                           return !st.session.ProgressCancelled;
                                       });
        if (read) {
            progress.setWindowTitle(QStringLiteral("Progress: Pass 2 of 2"));
            progress.progBar->setValue(count);
            // The keys are the sort's own: the window stays alive (and Cancel seen) meanwhile.
            platform::RunBeside([&] { order = OrderOfKeys(std::move(keys)); },
                                [] { QApplication::processEvents(); });
        }
        // Records removed while window events ran leave the order meaningless: nothing changes.
        const bool cancelled = !read || st.session.ProgressCancelled || order.empty()
                               || st.records.RecordCount < count;
        st.session.ProgressCancelled = false;
        if (cancelled)
            return;
    }

    const QString path = st.folders.TempFolder + QStringLiteral("SortedFile.dat");
    size_t bytes = 0;
    for (int32_t k = 1; k <= count && bytes < WriteBesideFrom; ++k)
        bytes += st.records.Record(k).size();
    // A large file is written beside the window from the undo point's copy, after the command
    // has returned; File > Save and Open wait for it.
    const bool beside = st.undo.UndoEnabled && bytes >= WriteBesideFrom;
    WriteResult written;
    {
        const WaitCursor wait;
        if (beside) {
            // What stops the file at its start is told before anything changes.
            platform::WholeFile probe(path);
            written = probe.Open() ? WriteResult{true, QFileDevice::NoError, {}}
                                   : WriteResult{false, probe.Error(), probe.ErrorString()};
            probe.Cancel();
        } else {
            std::vector<std::string_view> sorted;
            sorted.reserve(order.size());
            for (const int32_t k : order)
                sorted.push_back(st.records.Record(k));
            written = WriteRecordsFile(path, sorted, st.envelope, false);
        }
    }
    if (!written.ok) {
        dlg.MsgBox(QStringLiteral("The sorted records could not be written to '%1': %2")
                       .arg(path, written.message),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Can't Save to Disk"));
        return;
    }
    if (!SaveUndoPointFor(QStringLiteral("Sorted on MSH-7")))
        return;
    if (beside) {
        // The undo point's snapshot holds the records in their order before the sort.
        std::shared_ptr<const RecordsSnapshot> image =
            undoSnapshots_[static_cast<size_t>(st.undo.UndoLevel)];
        if (!image)
            image = TakeSnapshot(st.records);
        backgroundWrites_.Add(
            SortedFileWrite, [image, order, path](const std::atomic<bool>& stop) {
                BackgroundWrites::Outcome outcome;
                outcome.path = path;
                const WriteResult result = WriteFramedTexts(
                    path, order.size(),
                    [&](size_t k) {
                        return std::string_view((*image)[static_cast<size_t>(order[k])]);
                    },
                    [](std::string& out, std::string_view record) {
                        out.append(record);
                        out.append("\r\n");
                    },
                    {}, &stop);
                outcome.ok = result.ok;
                outcome.error = result.message;
                return outcome;
            });
        if (pendingChange_ && !pendingChange_->ended)
            pendingChange_->sortedFile = path;
    }

    // The window has its turn before the records move (records that arrive meanwhile stay after
    // the sorted ones; a write that fails meanwhile is dealt with once the sort has ended).
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (st.records.RecordCount < count)
        return;
    // The records are already in memory: reading the file back would only risk altering them.
    const QString caption = windowTitle();
    PermuteRecords(st.records, order);
    st.session.CurrentFileName = path;
    CurrentPage = 1;
    DisplayPage(CurrentPage);
    SetButtonEnabledStatus();
    if (lstRecords->count() > 0) {
        {
            const QSignalBlocker block(lstRecords);
            lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        }
        lstRecords_Click();
    }
    st.session.FocusedListName = QStringLiteral("lstRecords");
    setWindowTitle(caption + QStringLiteral(" (sorted)"));
}

}  // namespace quillon
