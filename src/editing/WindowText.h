#pragma once
// Small helpers the editing windows share: the program's own texts, typed texts as the commands
// carry them, and the wait cursor for the length of a command. Record bytes become text only
// through records/TextEncoding.h.
#include <QApplication>
#include <QByteArrayView>
#include <QString>
#include <string>
#include <string_view>

#include "platform/Dialogs.h"

namespace quillon {

// The program's own texts (captions, messages, designations, dictionary lines): one Latin-1
// character a byte.
inline QString Text(std::string_view bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The other way, for the same kind of text.
inline std::string Bytes(const QString& text)
{
    const QByteArray latin1 = text.toLatin1();
    return std::string(latin1.constData(), static_cast<size_t>(latin1.size()));
}

// A text typed for a command (find, replace, filter, assign) as the command carries it: UTF-8.
// Each record then gets it in its own encoding.
inline std::string Typed(const QString& text) { return text.toStdString(); }

// A message or caption made from a typed text: UTF-8, or Latin-1 when it is not valid UTF-8.
inline QString TypedMessage(std::string_view bytes)
{
    const auto size = static_cast<qsizetype>(bytes.size());
    return QByteArrayView(bytes).isValidUtf8() ? QString::fromUtf8(bytes.data(), size)
                                               : QString::fromLatin1(bytes.data(), size);
}

// The box of a command that met a typed character the records' character set cannot hold
// (never written as "?"): `where` says in what, `outcome` what the command did instead.
inline void TellCharacterNotHeld(platform::Dialogs& dlg, const QString& character,
                                 const QString& where, const QString& outcome)
{
    dlg.MsgBox(QStringLiteral("The character \"") + character + QStringLiteral("\" cannot be stored ")
                   + where + QStringLiteral("; ") + outcome,
               platform::MsgButtons::OKOnly, platform::MsgIcon::Exclamation,
               QStringLiteral("Character Cannot Be Stored"));
}
// "in 1 record's character set" or "in <n> records' character set".
inline QString InRecordsCharacterSet(long long records, const QString& kind = QString())
{
    const QString noun = kind.isEmpty() ? QString() : kind + QLatin1Char(' ');
    return records == 1 ? QStringLiteral("in 1 ") + noun + QStringLiteral("record's character set")
                        : QStringLiteral("in %1 ").arg(records) + noun
                              + QStringLiteral("records' character set");
}
// The records a command left as they were: "... in 3 records' character set; they were left
// unchanged."
inline void TellLeftUnchanged(platform::Dialogs& dlg, const QString& character, long long records)
{
    TellCharacterNotHeld(dlg, character, InRecordsCharacterSet(records),
                         records == 1 ? QStringLiteral("it was left unchanged.")
                                      : QStringLiteral("they were left unchanged."));
}

// The wait cursor from construction to destruction (or an earlier Restore), on every way out.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { Restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void Restore()
    {
        if (held_)
            QApplication::restoreOverrideCursor();
        held_ = false;
    }

private:
    bool held_ = true;
};

}  // namespace quillon
