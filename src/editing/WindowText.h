#pragma once
// Small helpers the editing windows share: record bytes as the lists show them, and the wait
// cursor for the length of a command.
#include <QApplication>
#include <QString>
#include <string>
#include <string_view>

namespace quillon {

// Bytes as the lists show them: one Latin-1 character a byte.
inline QString Text(std::string_view bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The other way: text from a window as the bytes it stands for, one byte a Latin-1 character.
inline std::string Bytes(const QString& text)
{
    const QByteArray latin1 = text.toLatin1();
    return std::string(latin1.constData(), static_cast<size_t>(latin1.size()));
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
