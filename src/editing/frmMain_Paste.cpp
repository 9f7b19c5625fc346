// Edit > Paste Records from Clipboard (replace or append).
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>

#include "app/Settings.h"
#include "app/TraceLog.h"
#include "app/Utility.h"
#include "app/frmMain.h"
#include "editing/PasteRecords.h"
#include "editing/WindowText.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

std::string_view View(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<size_t>(bytes.size())};
}

}  // namespace

void frmMain::mnuClipboardPaste_Click()
{
    st.session.LockedFieldName.clear();
    stsPanels[5]->clear();
    PasteRecords(false);
}

void frmMain::mnuClipboardPasteAppend_Click()
{
    st.session.LockedFieldName.clear();
    stsPanels[5]->clear();
    PasteRecords(true);
}

void frmMain::PasteRecords(bool append)
{
    const ArrivalsHold arrivals(*this);
    const RecordsChange change(*this);
    if (!change)
        return;
    const QString clipText = QGuiApplication::clipboard()->text();
    // Cut as UTF-8; each record is then written in the encoding its own text calls for.
    const QByteArray clip = clipText.toUtf8();
    const std::string_view text = View(clip);
    if (text.empty()) {
        dlg.MsgBox(QStringLiteral("There is no data on the clipboard to parse."),
                   MsgButtons::OKOnly, MsgIcon::Information, QStringLiteral("No Data to Paste"));
        return;
    }
    if (!PasteAccepted(text)) {
        dlg.MsgBox(QStringLiteral("The clipboard does not appear to contain an HL7 message.\r\r"
                                  "The data on the clipboard is:\r\r")
                       + BoundedQuote(clipText),
                   MsgButtons::OKOnly, MsgIcon::None, kSettingsApp);
        return;
    }

    // A record whose character set cannot hold its text stops the paste before anything changes.
    const char eob = st.envelope.EndOfBlockChar;
    int64_t notHeld = 0;
    QString character;
    CutPastedRecords(text, eob, [&](std::string_view cut) {
        if (IsAscii(cut))
            return;
        const QString typed = QString::fromUtf8(cut.data(), static_cast<qsizetype>(cut.size()));
        if (TypedRecordBytes(typed, {}, eob))
            return;
        if (notHeld++ == 0)
            character = FirstBeyondLatin1(typed);
    });
    if (notHeld > 0) {
        TellCharacterNotHeld(dlg, character, InRecordsCharacterSet(notHeld, QStringLiteral("pasted")),
                             QStringLiteral("nothing was pasted."));
        return;
    }

    if (!SaveUndoPointFor(QStringLiteral("Paste Record(s)")))
        return;
    ClearListsAndRange();
    if (!append) {
        // The earlier records go; their slots are emptied so their memory goes with them.
        for (int32_t i = 1; i <= st.records.RecordCount; ++i)
            st.records.Records[static_cast<size_t>(i)].clear();
        st.records.RecordCount = 0;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const RecordArena::Expecting pasted(text.size());  // the records' texts, about as many bytes
    QElapsedTimer shown;
    shown.start();
    CutPastedRecords(text, eob, [&](std::string_view cut) {
        if (IsAscii(cut))
            st.records.Append(cut);
        else
            st.records.Append(*TypedRecordBytes(
                QString::fromUtf8(cut.data(), static_cast<qsizetype>(cut.size())), {}, eob));
        const std::string_view record = st.records.Record(st.records.RecordCount);
        if (st.trace.LogMessage)
            WriteLog(st, "MSG",
                     "SERVER: The following record has been received via pasting: "
                         + std::string(record));
        if (st.trace.LogMessageASCII)
            for (const auto& [category, line] : PasteDumpLines(record))
                WriteLog(st, category, line);
        // The count shows and the window repaints now and then, not per record.
        if (shown.elapsed() >= 50) {
            lblFile->setText(QStringLiteral("Rec %1/%2")
                                 .arg(lstRecords->currentRow() + 1)
                                 .arg(st.records.RecordCount));
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            shown.restart();
        }
    });
    QApplication::restoreOverrideCursor();

    CurrentPage = 1;
    DisplayPage(CurrentPage);
    setWindowTitle(QStringLiteral("Quillon - data pasted from clipboard"));
    sFileName = QStringLiteral("Data pasted from clipboard");
    SetButtonEnabledStatus();
    if (lstRecords->count() > 0) {
        {
            const QSignalBlocker block(lstRecords);
            lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        }
        lstRecords_Click();
    }
    lstRecords->setFocus();
    st.session.FocusedListName = QStringLiteral("lstRecords");
}

}  // namespace quillon
