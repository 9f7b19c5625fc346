// Tools > Sort on MSH-7: the records put in order of their message date and time. The order is
// found and applied in memory; the sorted records are also written to SortedFile.dat, which
// becomes the current file.
#include <QApplication>

#include "app/frmMain.h"
#include "app/frmProgressIndicator.h"
#include "editing/SortRecords.h"
#include "files/SaveRecords.h"
#include "editing/WindowText.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

void frmMain::mnuToolsSortMSH7_Click()
{
    const int32_t count = st.records.RecordCount;
    if (count == 0)
        return;
    std::vector<int32_t> order;
    {
        const WaitCursor wait;
        frmProgressIndicator progress(st.session.ProgressCancelled, this);
        progress.setWindowTitle(QStringLiteral("Progress: Pass 1 of 2"));
        progress.StartRun(count);
        order = SortedOrderOnMSH7(st.records, st.delimiters, st.envelope.EndOfBlockChar,
                                  [&](int32_t read) {
                                      progress.progBar->setValue(read);
                                      QApplication::processEvents();
                                      return !st.session.ProgressCancelled;
                                  });
        progress.setWindowTitle(QStringLiteral("Progress: Pass 2 of 2"));
        progress.progBar->setValue(count);
        QApplication::processEvents();
        // Records removed while window events ran leave the order meaningless: nothing changes.
        const bool cancelled =
            st.session.ProgressCancelled || order.empty() || st.records.RecordCount < count;
        st.session.ProgressCancelled = false;
        if (cancelled)
            return;
    }

    const QString path = st.folders.TempFolder + QStringLiteral("SortedFile.dat");
    std::vector<const std::string*> sorted;
    sorted.reserve(order.size());
    for (const int32_t k : order)
        sorted.push_back(&st.records.Record(k));
    WriteResult written;
    {
        const WaitCursor wait;
        written = WriteRecordsFile(path, sorted, st.envelope, false);
    }
    if (!written.ok) {
        dlg.MsgBox(QStringLiteral("The sorted records could not be written to '%1': %2")
                       .arg(path, written.message),
                   MsgButtons::OKOnly, MsgIcon::Exclamation, QStringLiteral("Can't Save to Disk"));
        return;
    }
    if (!SaveUndoPointFor(QStringLiteral("Sorted on MSH-7")))
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
