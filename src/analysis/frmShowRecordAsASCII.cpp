#include "analysis/frmShowRecordAsASCII.h"
#include "editing/WindowText.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>

namespace quillon {

frmShowRecordAsASCII::frmShowRecordAsASCII(const std::string& source, const std::string& mode,
                                           QWidget* parent, TextEncoding encoding)
    : QDialog(parent), sourceLength_(static_cast<int>(std::min<size_t>(source.size(), INT32_MAX)))
{
    setObjectName(QStringLiteral("frmShowRecordAsASCII"));
    setWindowTitle(mode == "RECORD" ? QStringLiteral("View Record as ASCII")
                                    : QStringLiteral("View Segment as ASCII"));
    rtbASCII = new QTextEdit(this);
    rtbASCII->setObjectName(QStringLiteral("rtbASCII"));
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(9.75);
    rtbASCII->setFont(font);
    rtbASCII->setLineWrapMode(QTextEdit::NoWrap);
    rtbASCII->setAcceptRichText(false);
    // Read-only, yet the caret can be placed and moved to point at a character.
    rtbASCII->setReadOnly(true);
    rtbASCII->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    rtbASCII->setPlainText(AsciiViewText(source, encoding));
    rtbASCII->installEventFilter(this);
    rtbASCII->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(rtbASCII);
    // The width fits a full line and stays; the height can grow, not below 100 pixels.
    setFixedWidth(719);
    setMinimumHeight(100);
    resize(719, 376);
}

void frmShowRecordAsASCII::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    SelectChar({0, 0});
    HighlightChar();
}

void frmShowRecordAsASCII::SelectChar(AsciiCell cell)
{
    const int end = rtbASCII->document()->characterCount() - 1;
    QTextCursor cursor(rtbASCII->document());
    const int at = std::clamp(AsciiCharPosition(cell), 0, end);
    cursor.setPosition(at);
    cursor.setPosition(std::min(at + 1, end), QTextCursor::KeepAnchor);
    rtbASCII->setTextCursor(cursor);
}

void frmShowRecordAsASCII::HighlightChar()
{
    const std::optional<AsciiCell> cell =
        AsciiMarkedCell(rtbASCII->textCursor().selectionStart(), sourceLength_);
    if (!cell)
        return;  // between the characters and their codes, or past the line's last character
    const int end = rtbASCII->document()->characterCount() - 1;
    auto format = [&](AsciiCell at, bool marked) {
        QTextCursor pair(rtbASCII->document());
        const int from = std::min(AsciiPairPosition(at), end);
        pair.setPosition(from);
        pair.setPosition(std::min(from + 2, end), QTextCursor::KeepAnchor);
        // A pair back to normal drops its colour and draws in the palette's text colour again,
        // as the rest of the text does.
        QTextCharFormat f = pair.charFormat();
        if (marked)
            f.setForeground(QColor(Qt::red));
        else
            f.clearForeground();
        f.setFontWeight(marked ? QFont::Bold : QFont::Normal);
        f.setFontItalic(marked);
        f.setFontUnderline(marked);
        pair.setCharFormat(f);
    };
    if (marked_ != *cell)
        format(marked_, false);
    format(*cell, true);
    SelectChar(*cell);
    marked_ = *cell;
}

void frmShowRecordAsASCII::MoveWithKey(int key)
{
    // First the move the box itself makes for the key: from a selection Left goes to its start
    // and Right to its end; Up and Down keep the column.
    const QTextCursor cursor = rtbASCII->textCursor();
    const int end = rtbASCII->document()->characterCount() - 1;
    int position = cursor.position();
    AsciiKey move = AsciiKey::Other;
    switch (key) {
    case Qt::Key_Left:
        move = AsciiKey::Left;
        position = cursor.hasSelection() ? cursor.selectionStart() : std::max(position - 1, 0);
        break;
    case Qt::Key_Right:
        move = AsciiKey::Right;
        position = cursor.hasSelection() ? cursor.selectionEnd() : std::min(position + 1, end);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        move = key == Qt::Key_Up ? AsciiKey::Up : AsciiKey::Down;
        const QTextBlock here = rtbASCII->document()->findBlock(position);
        const QTextBlock there = key == Qt::Key_Up ? here.previous() : here.next();
        if (there.isValid() && there.length() > 1)
            position = there.position() + std::min(position - here.position(), there.length() - 1);
        break;
    }
    default:
        return;
    }
    SelectChar(AsciiKeyMove(move, AsciiCaretCell(position)));
    HighlightChar();
}

bool frmShowRecordAsASCII::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == rtbASCII && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            MoveWithKey(key->key());
            return true;
        case Qt::Key_Delete:
        case Qt::Key_Insert:
            return true;
        default:
            // Typed characters are swallowed; other keys (Escape, Tab, copy) keep working.
            return !key->text().isEmpty() && key->text().at(0).isPrint();
        }
    }
    if (watched == rtbASCII->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const bool handled = QDialog::eventFilter(watched, event);
        HighlightChar();
        return handled;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace quillon
