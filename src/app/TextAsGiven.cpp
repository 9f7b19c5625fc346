#include "app/TextAsGiven.h"

#include <QMimeData>
#include <QScreen>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <memory>

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
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document()->setDocumentMargin(0);
    setPlainText(text);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int TextAsGiven::LinesHeight(int width) const
{
    // A copy, so that asking does not lay out the text shown.
    const std::unique_ptr<QTextDocument> lines(document()->clone());
    lines->setTextWidth(width);
    return static_cast<int>(std::ceil(lines->size().height()));
}

int TextAsGiven::NaturalWidth() const
{
    // A window opens at most two thirds of its screen wide, and room is left for the box's
    // frame, margins and icon beside the text.
    constexpr int kWidest = 600;
    constexpr int kBesideText = 120;
    const int widest = std::min(kWidest, ScreenArea(this).width() * 2 / 3 - kBesideText);
    const std::unique_ptr<QTextDocument> lines(document()->clone());
    lines->setTextWidth(widest);
    return std::min(widest, static_cast<int>(std::ceil(lines->idealWidth())));
}

int TextAsGiven::MostHeight() const
{
    return ScreenArea(this).height() / 2;
}

int TextAsGiven::heightForWidth(int width) const
{
    return std::min(LinesHeight(width), MostHeight());
}

QSize TextAsGiven::sizeHint() const
{
    const int width = NaturalWidth();
    return {width, heightForWidth(width)};
}

QSize TextAsGiven::minimumSizeHint() const
{
    return sizeHint();
}

QMimeData* TextAsGiven::createMimeDataFromSelection() const
{
    auto* data = new QMimeData;
    data->setText(
        textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
    return data;
}

}  // namespace quillon
