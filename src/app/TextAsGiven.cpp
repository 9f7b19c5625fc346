#include "app/TextAsGiven.h"

#include <QEvent>
#include <QMimeData>
#include <QScreen>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

QRect ScreenArea(const QWidget* widget)
{
    const QScreen* screen = widget->screen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

TextAsGiven::TextAsGiven(const QString& text, QWidget* parent) : QTextEdit(parent), text_(text)
{
    setAcceptRichText(false);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setFocusPolicy(Qt::ClickFocus);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document()->setDocumentMargin(0);
    setPlainText(text);
    for (int i = 0, position = 0; i < text.size(); ++i, ++position)
        if (text.at(i) == QLatin1Char('\r') && i + 1 < text.size()
            && text.at(i + 1) == QLatin1Char('\n')) {
            joinedBreaks_.push_back(position);
            ++i;
        }
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

TextAsGiven::~TextAsGiven() = default;

int TextAsGiven::LinesHeight(int width) const
{
    if (!measured_)
        measured_.reset(document()->clone());
    measured_->setTextWidth(width);
    return static_cast<int>(std::ceil(measured_->size().height()));
}

int TextAsGiven::NaturalWidth() const
{
    // A window opens at most two thirds of its screen wide, and room is left for the box's
    // frame, margins and icon beside the text.
    constexpr int kWidest = 600;
    constexpr int kBesideText = 120;
    const int widest = std::min(kWidest, ScreenArea(this).width() * 2 / 3 - kBesideText);
    LinesHeight(widest);
    return std::min(widest, static_cast<int>(std::ceil(measured_->idealWidth())));
}

int TextAsGiven::MostHeight() const
{
    return ScreenArea(this).height() / 2;
}

int TextAsGiven::heightForWidth(int width) const
{
    const int frame = 2 * frameWidth();
    return std::min(LinesHeight(width - frame), MostHeight()) + frame;
}

QSize TextAsGiven::sizeHint() const
{
    const int width = NaturalWidth() + 2 * frameWidth();
    return {width, heightForWidth(width)};
}

QSize TextAsGiven::minimumSizeHint() const
{
    return sizeHint();
}

void TextAsGiven::ScrollOnlyWhenTaller()
{
    const QRect lines = contentsRect();
    setVerticalScrollBarPolicy(LinesHeight(lines.width()) > lines.height()
                                   ? Qt::ScrollBarAsNeeded
                                   : Qt::ScrollBarAlwaysOff);
}

void TextAsGiven::resizeEvent(QResizeEvent* event)
{
    ScrollOnlyWhenTaller();
    QTextEdit::resizeEvent(event);
}

void TextAsGiven::changeEvent(QEvent* event)
{
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        // The lines are measured afresh in the new font or style, and the box sizes itself again.
        measured_.reset();
        updateGeometry();
        ScrollOnlyWhenTaller();
    }
}

int TextAsGiven::InText(int position) const
{
    const auto before =
        std::lower_bound(joinedBreaks_.begin(), joinedBreaks_.end(), position) - joinedBreaks_.begin();
    return position + static_cast<int>(before);
}

QMimeData* TextAsGiven::createMimeDataFromSelection() const
{
    const QTextCursor selection = textCursor();
    const int from = InText(selection.selectionStart());
    auto* data = new QMimeData;
    data->setText(text_.mid(from, InText(selection.selectionEnd()) - from));
    return data;
}

}  // namespace quillon
