// What the database sources share in the main window: fetched messages replace the records in
// one step and are shown like a loaded file.
#include "app/frmMain.h"
#include "ftp/FtpNames.h"

namespace quillon {

void frmMain::ShowDatabaseRecords(std::vector<std::string>&& messages, const QString& interfaceName)
{
    ClearListsAndRange();
    lblFile->clear();
    lblPageOf->clear();
    const auto n = static_cast<int32_t>(messages.size());
    // Slots 0 to n + 99: slot 0 unused, the messages in 1 to n, as a load leaves the store.
    std::vector<RecordText> records(static_cast<size_t>(n) + 100);
    size_t bytes = 0;
    for (const std::string& message : messages)
        bytes += message.size();
    RecordArena arena(bytes);
    for (int32_t i = 0; i < n; ++i) {
        records[static_cast<size_t>(i) + 1] = arena.Copy(messages[static_cast<size_t>(i)]);
        std::string().swap(messages[static_cast<size_t>(i)]);
    }
    st.records.Records = std::move(records);
    st.records.RecordCount = n;
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
