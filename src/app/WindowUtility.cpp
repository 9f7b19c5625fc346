#include "app/WindowUtility.h"

#include <QAction>
#include <QApplication>
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
