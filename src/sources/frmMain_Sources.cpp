// What the database sources share in the main window: fetched messages replace the records in
// one step and are shown like a loaded file.
#include "app/frmMain.h"
#include "ftp/FtpNames.h"

namespace quillon {

void frmMain::ShowDatabaseRecords(DatabaseMessages&& messages, const QString& interfaceName)
{
    ClearListsAndRange();
    lblFile->clear();
    lblPageOf->clear();
    const auto n = static_cast<int32_t>(messages.Count());
    std::vector<RecordText> replaced = messages.TakeSlots();
    st.records.Records.swap(replaced);
    st.records.RecordCount = n;
    DiscardBeside(std::move(replaced));
    // The interface name comes from the database: like a name in a remote listing it is made a
    // plain file name that stays inside the temp folder. A name that cannot be made one leaves
    // the records without a file, so that File > Save asks where to write them.
    sFileName = LocalDownloadPath(st.folders.TempFolder, interfaceName + QStringLiteral(".dat"))
                    .value_or(QString());
    st.session.CurrentFileName = sFileName;
    SetButtonEnabledStatus();
    StartEmptyUndoRing();
    lblTCPIPcount->setText(QStringLiteral("Count:"));
    ShowFirstPage(QStringLiteral("Quillon - Data from ") + interfaceName);
}

}  // namespace quillon
