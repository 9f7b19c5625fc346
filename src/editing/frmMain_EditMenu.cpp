// The Edit menu as it opens: which of its items can be chosen.
#include <QClipboard>
#include <QGuiApplication>

#include "app/frmMain.h"
#include "editing/PasteRecords.h"
#include "records/UndoRing.h"

namespace quillon {

void frmMain::mnuEdit_Click()
{
    // Undo while this window has an undo file left, or one on its way; its caption names what
    // it would undo. Another instance's files in the shared temporary folder are not ours.
    const bool undo = UndoAvailable();
    mnuEditUndo->setEnabled(undo);
    if (undo)
        mnuEditUndo->setText(QStringLiteral("Undo ")
                             + st.undo.UndoDescriptions[static_cast<size_t>(st.undo.UndoLevel)]);

    // The paste items, while the clipboard's text starts like an HL7 header.
    const QByteArray clip = QGuiApplication::clipboard()->text().toLatin1();
    const bool offered =
        ClipboardOffersRecords(std::string_view(clip.constData(), static_cast<size_t>(clip.size())));
    mnuClipboardPaste->setEnabled(offered);
    mnuClipboardPasteAppend->setEnabled(offered);

    // Copy, filter and find need listed records.
    const bool listed = lstRecords->count() > 0;
    for (QAction* item : {mnuEditCopy, mnuEditFilterRecordList, mnuEditFindInRecordList,
                          mnuEditFindInFieldList})
        item->setEnabled(listed);
}

}  // namespace quillon
