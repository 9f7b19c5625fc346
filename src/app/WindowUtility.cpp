#include "app/WindowUtility.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <algorithm>

#include "app/Layout.h"

namespace quillon {

int16_t IsFormLoaded(const QWidget* window)
{
    // A window counts as open once it has been shown (it then has a native window).
    int16_t index = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->testAttribute(Qt::WA_WState_Created))
            continue;
        ++index;
        if (w == window)
            return index;
    }
    return 0;
}

namespace {
QPointer<QWidget>& LockedWindow()
{
    static QPointer<QWidget> locked;
    return locked;
}
}  // namespace

void LockWindowRedraw(QWidget* window)
{
    UnlockWindowRedraw();
    if (window) {
        window->setUpdatesEnabled(false);
        LockedWindow() = window;
    }
}

void UnlockWindowRedraw()
{
    if (QWidget* w = LockedWindow()) {
        w->setUpdatesEnabled(true);
        w->update();
    }
    LockedWindow() = nullptr;
}

void CenterForm(QWidget* window)
{
    if (!window || !window->screen())
        return;
    const QRect screen = window->screen()->geometry();
    const QSize outer = window->frameGeometry().size();
    const TwipsRect place =
        CenterRect(PixelsToTwips(outer.width()), PixelsToTwips(outer.height()),
                   PixelsToTwips(screen.width()), PixelsToTwips(screen.height()));
    // move() places the frame's top left corner.
    window->move(screen.x() + TwipsToPixels(place.left), screen.y() + TwipsToPixels(place.top));
}

namespace {

// The text with a zero-width space after every kLongestRun characters of a run without a blank:
// a label wraps only between words, and draws a longer word (a quoted record, a long find text)
// past its edge, where the box cuts it off.
QString BreakableText(const QString& text)
{
    constexpr int kLongestRun = 30;
    QString out;
    out.reserve(text.size() + text.size() / kLongestRun);
    int run = 0;
    for (const QChar c : text) {
        if (c.isSpace()) {
            run = 0;
        } else if (++run > kLongestRun) {
            out += QChar(0x200B);
            run = 1;
        }
        out += c;
    }
    return out;
}

}  // namespace

void ShowTextAsGiven(QLabel* label)
{
    // Without a buddy a plain-text label draws "&" as it is.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setText(BreakableText(label->text()));
    // A window opens at most two thirds of its screen wide, and its height is reckoned for its
    // natural width: a wider text would lose its last lines. Room is left for the box's frame,
    // margins and icon beside the text.
    constexpr int kWidest = 600;
    constexpr int kBesideText = 120;
    const QScreen* screen = label->screen();
    const int available = screen ? screen->availableGeometry().width() : 1024;
    label->setMaximumWidth(std::min(kWidest, available * 2 / 3 - kBesideText));
}

void SetItemName(QAction* item, const QString& name)
{
    item->setData(name);
    item->setText(QString(name).replace(QLatin1Char('&'), QLatin1String("&&")));
}

QString NameOfItem(const QAction* item)
{
    return item->data().toString();
}

}  // namespace quillon
