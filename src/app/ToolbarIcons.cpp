#include "app/ToolbarIcons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <functional>

namespace quillon {
namespace {

// An icon drawn at the sizes a toolbar asks for, on a 32 x 32 grid scaled to each. Lines take
// the palette's window text, paper the palette's base.
QIcon Drawn(const std::function<void(QPainter&, const QPalette&)>& draw)
{
    const QPalette palette = QApplication::palette();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        draw(p, palette);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPen Ink(const QPalette& palette, double width)
{
    return QPen(palette.color(QPalette::WindowText), width, Qt::SolidLine, Qt::RoundCap,
                Qt::RoundJoin);
}

// A printer: the sheet going in at the top, the body, the printed sheet coming out below.
void DrawPrinter(QPainter& p, const QPalette& palette)
{
    p.setPen(Ink(palette, 2));
    p.setBrush(palette.color(QPalette::Base));
    p.drawRect(QRectF(9, 3, 14, 9));
    p.setBrush(palette.color(QPalette::Mid));
    p.drawRoundedRect(QRectF(3, 11, 26, 12), 2, 2);
    p.setBrush(palette.color(QPalette::Base));
    p.drawRect(QRectF(8, 19, 16, 10));
    p.drawLine(QPointF(11, 23), QPointF(21, 23));
    p.drawLine(QPointF(11, 26), QPointF(18, 26));
    p.setBrush(QColor(0x3c, 0xb0, 0x43));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(25, 15), 1.5, 1.5);
}

// A magnifying glass.
void DrawMagnifier(QPainter& p, const QPalette& palette)
{
    p.setPen(Ink(palette, 5));
    p.drawLine(QPointF(19.5, 19.5), QPointF(28, 28));
    p.setPen(Ink(palette, 3));
    QColor glass = palette.color(QPalette::Highlight);
    glass.setAlpha(90);
    p.setBrush(glass);
    p.drawEllipse(QPointF(13, 13), 9, 9);
}

// A funnel.
void DrawFunnel(QPainter& p, const QPalette& palette)
{
    QPainterPath funnel;
    funnel.moveTo(3, 5);
    funnel.lineTo(29, 5);
    funnel.lineTo(19, 17);
    funnel.lineTo(19, 28);
    funnel.lineTo(13, 24);
    funnel.lineTo(13, 17);
    funnel.closeSubpath();
    p.setPen(Ink(palette, 2));
    p.setBrush(palette.color(QPalette::Highlight));
    p.drawPath(funnel);
}

}  // namespace

QIcon ToolbarIcon(int button, const QStyle& style)
{
    auto themed = [&](const char* name, QStyle::StandardPixmap standard) {
        return QIcon::fromTheme(QLatin1String(name), style.standardIcon(standard));
    };
    auto themedOrDrawn = [](const char* name, void (*draw)(QPainter&, const QPalette&)) {
        const QString themeName = QLatin1String(name);
        return QIcon::hasThemeIcon(themeName) ? QIcon::fromTheme(themeName) : Drawn(draw);
    };
    switch (button) {
    case 1: return themed("document-new", QStyle::SP_FileIcon);
    case 2: return themed("document-open", QStyle::SP_DialogOpenButton);
    case 3: return themed("document-save", QStyle::SP_DialogSaveButton);
    case 4: return themedOrDrawn("document-print", DrawPrinter);
    case 6: return themed("edit-undo", QStyle::SP_ArrowBack);
    case 8: return themed("go-down", QStyle::SP_ArrowDown);
    case 9: return themed("go-up", QStyle::SP_ArrowUp);
    case 10: return themed("network-wired", QStyle::SP_DriveNetIcon);
    case 12: return themedOrDrawn("view-filter", DrawFunnel);
    case 13: return themedOrDrawn("edit-find", DrawMagnifier);
    case 15: return themed("x-office-document", QStyle::SP_FileDialogContentsView);
    case 16: return themed("x-office-spreadsheet", QStyle::SP_FileDialogDetailedView);
    case 18: return themed("network-server", QStyle::SP_ComputerIcon);
    default: return {};
    }
}

void SetToolbarCaptionStyle(QToolBar& toolbar, bool captionsShown, QAction* keepsCaption)
{
    toolbar.setToolButtonStyle(captionsShown ? Qt::ToolButtonTextUnderIcon
                                             : Qt::ToolButtonIconOnly);
    if (auto* button = qobject_cast<QToolButton*>(toolbar.widgetForAction(keepsCaption)))
        button->setToolButtonStyle(captionsShown ? Qt::ToolButtonTextUnderIcon
                                                 : Qt::ToolButtonTextBesideIcon);
}

}  // namespace quillon
