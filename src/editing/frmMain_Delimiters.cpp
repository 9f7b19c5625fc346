// Tools > Change Delimiters: every record rewritten with five new delimiters, with an undo point
// that brings back the records and the delimiters together.
#include <QApplication>

#include "app/frmMain.h"
#include "editing/ChangeDelimiters.h"
#include "records/FieldLines.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

void frmMain::mnuToolsChangeDelimiters_Click()
{
    const ArrivalsHold arrivals(*this);
    const RecordsChange change(*this);
    if (!change)
        return;
    if (lstRecords->count() == 0) {
        dlg.MsgBox(QStringLiteral("There are no records loaded.  Please load the file whose "
                                  "delimiters you with to change."),
                   MsgButtons::OKOnly, MsgIcon::Information, QStringLiteral("No Records Loaded"));
        return;
    }
    const std::string promptBytes = ChangeDelimitersPrompt(st.delimiters);
    const QString prompt =
        QString::fromLatin1(promptBytes.data(), static_cast<qsizetype>(promptBytes.size()));
    std::string replacement;
    for (;;) {
        const std::optional<QString> answer =
            dlg.InputBox(prompt, QStringLiteral("Change Message Delimiters"), QString());
        if (!answer)
            return;
        const QByteArray bytes = answer->toLatin1();
        const std::string_view trimmed =
            TrimBlanks({bytes.constData(), static_cast<size_t>(bytes.size())});
        if (trimmed.empty())
            return;
        if (trimmed.size() == 5) {
            replacement = std::string(trimmed);
            break;
        }
        dlg.MsgBox(QStringLiteral("You must enter exactly five characters."), MsgButtons::OKOnly,
                   MsgIcon::Exclamation, QStringLiteral("Invalid Number of Delimiters"));
    }
    const int selected = lstRecords->currentRow();

    // The undo point keeps the delimiters being replaced with the records; the held set stays as
    // it was when the point cannot be written, as everything else does.
    auto& held = st.editing.UndoDelimiters;
    const auto heldBefore = held;
    const Delimiters old = st.delimiters;
    held = {std::string(),           old.FieldSeparator,  old.ComponentSeparator,
            old.RepetitionSeparator, old.EscapeCharacter, old.SubcomponentSeparator};
    if (!SaveUndoPointFor(QStringLiteral("Change Delimiters"))) {
        held = heldBefore;
        return;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int64_t replaced =
        ChangeDelimiters(st.records, old, replacement, st.envelope.EndOfBlockChar);
    st.delimiters = DelimitersFrom({replacement.substr(0, 1), replacement.substr(1, 1),
                                    replacement.substr(2, 1), replacement.substr(3, 1),
                                    replacement.substr(4, 1)});
    DisplayPage(CurrentPage);
    QApplication::restoreOverrideCursor();
    if (selected >= 0 && selected < lstRecords->count()) {
        {
            const QSignalBlocker block(lstRecords);
            lstRecords->setCurrentRow(selected, QItemSelectionModel::ClearAndSelect);
        }
        lstRecords_Click();
    }
    dlg.MsgBox(QString::number(replaced) + QStringLiteral(" delimiters were replaced."),
               MsgButtons::OKOnly, MsgIcon::Information, QStringLiteral("Delimiters Replaced"));
}

}  // namespace quillon
