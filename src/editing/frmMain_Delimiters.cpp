// Tools > Change Delimiters: every record rewritten with five new delimiters, with an undo point
// that brings back the records and the delimiters together.
#include <QApplication>

#include "app/frmMain.h"
#include "editing/ChangeDelimiters.h"
#include "editing/WindowText.h"
#include "records/FieldLines.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

void frmMain::RefuseDelimiter(const QString& character, int64_t records)
{
    TellCharacterNotHeld(dlg, character, QStringLiteral("as one byte ") + InRecordsCharacterSet(records),
                         QStringLiteral("no delimiters were changed."));
}

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
        // A delimiter is one byte: a character Latin-1 lacks is none in any record.
        if (const QString beyond = FirstBeyondLatin1(*answer); !beyond.isEmpty()) {
            QString blanksTrimmed = *answer;
            while (blanksTrimmed.startsWith(QLatin1Char(' ')))
                blanksTrimmed.remove(0, 1);
            while (blanksTrimmed.endsWith(QLatin1Char(' ')))
                blanksTrimmed.chop(1);
            if (blanksTrimmed.toUcs4().size() == 5) {
                RefuseDelimiter(beyond, st.records.RecordCount);
                return;
            }
        } else {
            const QByteArray bytes = answer->toLatin1();
            const std::string_view trimmed =
                TrimBlanks({bytes.constData(), static_cast<size_t>(bytes.size())});
            if (trimmed.empty())
                return;
            if (trimmed.size() == 5) {
                replacement = std::string(trimmed);
                break;
            }
        }
        dlg.MsgBox(QStringLiteral("You must enter exactly five characters."), MsgButtons::OKOnly,
                   MsgIcon::Exclamation, QStringLiteral("Invalid Number of Delimiters"));
    }
    // One byte above 127 is no character of a UTF-8 record (nor of one declared UTF-8).
    if (const size_t high = FirstNonAscii(replacement); high != std::string::npos) {
        const char eob = st.envelope.EndOfBlockChar;
        int64_t utf8 = 0;
        for (int32_t i = 1; i <= st.records.RecordCount; ++i) {
            const std::string_view record = st.records.Record(i);
            if (RecordEncoding(record, eob) == TextEncoding::Utf8
                || NamesUtf8(DeclaredCharacterSet(record, eob)))
                ++utf8;
        }
        if (utf8 > 0) {
            RefuseDelimiter(QString(QChar(static_cast<unsigned char>(replacement[high]))), utf8);
            return;
        }
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
    // A million records take a while: the window has its turns meanwhile, as under Replace All.
    const int64_t replaced =
        ChangeDelimiters(st.records, old, replacement, st.envelope.EndOfBlockChar,
                         [] { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
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
