// The main window's geometry: the controls stand where the twips rules of Layout.h put them,
// the two splitter bars follow the mouse, and the window's place is stored between runs.
#include <QEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "app/Layout.h"
#include "app/WindowUtility.h"
#include "app/frmMain.h"
#include "editing/FindDialog.h"

namespace quillon {

namespace {

const QString SettingsApp = QStringLiteral("Quillon");
const QString WindowPosSection = QStringLiteral("Windowpos");
const char* const TagProperty = "Tag";

// The window's layout in twips (pixels would lose the fractions the splitter drag makes) and
// how deep the resizes it asked for are nested.
class LayoutKeeper : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    MainLayout layout = MainLayout::Initial();
    int resizeDepth = 0;
};

LayoutKeeper* Keeper(const frmMain& w)
{
    return w.findChild<LayoutKeeper*>(QString(), Qt::FindDirectChildrenOnly);
}

// A minimum-size spring can take three resizes in a row (width, height, then the field list's
// width); a window that does not take the size it is given is not asked again beyond that.
constexpr int MaxResizeDepth = 3;

struct Placed {
    QWidget* widget;
    TwipsRect MainLayout::*rect;
};

std::array<Placed, 12> PlacedControls(const frmMain& w)
{
    return {{{w.fraTCPIP, &MainLayout::fraTCPIP},
             {w.lstSegments, &MainLayout::lstSegments},
             {w.fraHSplitter, &MainLayout::fraHSplitter},
             {w.fraVSplitter, &MainLayout::fraVSplitter},
             {w.cmdFirstPage, &MainLayout::cmdFirstPage},
             {w.cmdPrevPage, &MainLayout::cmdPrevPage},
             {w.cmdNextPage, &MainLayout::cmdNextPage},
             {w.cmdLastPage, &MainLayout::cmdLastPage},
             {w.lblFile, &MainLayout::lblFile},
             {w.lblPageOf, &MainLayout::lblPageOf},
             {w.lstRecords, &MainLayout::lstRecords},
             {w.lstFields, &MainLayout::lstFields}}};
}

// The layout counts from the client area's top left, the toolbar's top edge under the menu
// bar; the controls live in the central widget, which lies below the toolbar.
QPoint CentralWidgetOffset(const frmMain& w)
{
    const QWidget* menu = w.menuWidget();
    const int clientTop = menu && !menu->isHidden() ? menu->geometry().bottom() + 1 : 0;
    return w.centralWidget()->pos() - QPoint(0, clientTop);
}

void Place(QWidget* widget, const TwipsRect& r, QPoint offset)
{
    widget->setGeometry(TwipsToPixels(r.left) - offset.x(), TwipsToPixels(r.top) - offset.y(),
                        std::max(0, TwipsToPixels(r.width)), std::max(0, TwipsToPixels(r.height)));
}

void ApplyLayout(frmMain& w, const MainLayout& layout)
{
    const QPoint offset = CentralWidgetOffset(w);
    for (const Placed& p : PlacedControls(w))
        Place(p.widget, layout.*p.rect, offset);
    // "Rec 12345/67890" outgrows the designed label: it may use the room up to the page label.
    const int room = w.lblPageOf->x() - w.lblFile->x() - 4;
    if (room > w.lblFile->width())
        w.lblFile->resize(room, w.lblFile->height());
}

LayoutOptions CurrentLayoutOptions(const frmMain& w)
{
    // A hidden toolbar still counts with the height it has when shown.
    const int toolbarHeight =
        w.tbarTools->isVisible() ? w.tbarTools->height() : w.tbarTools->sizeHint().height();
    return {w.mnuOptionsDisplayToolbar->isChecked(), w.mnuOptionsDisplayButtonCaptions->isChecked(),
            w.mnuViewTCPIPWindow->isChecked(), PixelsToTwips(toolbarHeight)};
}

// The rules speak of the outer size; Qt sizes the inside of the frame.
QSize FrameExtra(const QWidget* window)
{
    return window->frameGeometry().size() - window->size();
}

QSize InnerPixels(const QWidget* window, double outerWidth, double outerHeight)
{
    const QSize extra = FrameExtra(window);
    return {static_cast<int>(std::ceil(outerWidth / TwipsPerPixel)) - extra.width(),
            static_cast<int>(std::ceil(outerHeight / TwipsPerPixel)) - extra.height()};
}

WindowSize OuterTwips(const QWidget* window)
{
    const QSize outer = window->frameGeometry().size();
    return {PixelsToTwips(outer.width()), PixelsToTwips(outer.height())};
}

// So that the window manager does not let the user shrink the window below what the layout
// accepts (the layout would only spring it back).
void KeepMinimumSize(frmMain& w, const LayoutOptions& options)
{
    const WindowSize minimum = MinimumWindowSize(options);
    const QSize inner = InnerPixels(&w, minimum.width, minimum.height);
    if (w.minimumSize() != inner)
        w.setMinimumSize(inner);
}

int16_t WindowStateOf(const QWidget* window)
{
    if (window->isMinimized())
        return WindowStateMinimized;
    return window->isMaximized() ? WindowStateMaximized : WindowStateNormal;
}

QRect ScreenRect(const QWidget* window)
{
    const QScreen* screen = window->screen();
    return screen ? screen->geometry() : QRect();
}

// Puts the window's frame at `topLeft` (move() places the frame) and gives the frame the size
// `outer`, when there is one: the stored place is the outer one, Qt sizes the inside.
void PlaceFrame(QWidget* window, QPoint topLeft, std::optional<QSize> outer)
{
    if (outer)
        window->resize(*outer - FrameExtra(window));
    window->move(topLeft);
}

bool FrameKnown(const QWidget* window)
{
    return window->isVisible() && window->frameGeometry() != window->geometry();
}

const char* const FramePlacerName = "framePlacer";

// Until the window manager has framed a newly shown window Qt knows no frame: the outer size
// would be taken for the inside and the frame's place for the inside's, so the window would
// grow and creep at every start. The place is set again once the frame is known, however late
// a busy manager frames the window (checked often at first, then seldom); a window with no
// manager (or none that frames it) keeps the first placing.
void PlaceFrameOnceKnown(QWidget* window, QPoint topLeft, std::optional<QSize> outer)
{
    delete window->findChild<QTimer*>(QLatin1String(FramePlacerName),
                                      Qt::FindDirectChildrenOnly);
    PlaceFrame(window, topLeft, outer);
    if (FrameKnown(window))
        return;
    constexpr int FastIntervalMs = 20;
    constexpr int FastTicks = 150;  // three seconds
    constexpr int SlowIntervalMs = 250;
    constexpr int MaxTicks = FastTicks + 240;  // another minute
    auto* timer = new QTimer(window);
    timer->setObjectName(QLatin1String(FramePlacerName));
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, window, [=] {
        const bool known = FrameKnown(window);
        if (known)
            PlaceFrame(window, topLeft, outer);
        if (known || ++*ticks >= MaxTicks)
            timer->deleteLater();
        else if (*ticks == FastTicks)
            timer->setInterval(SlowIntervalMs);
    });
    timer->start(FastIntervalMs);
}

}  // namespace

void frmMain::BuildLayout()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(central);
    new LayoutKeeper(this);
    for (const Placed& p : PlacedControls(*this))
        p.widget->setParent(central);
    // The layout sets every size; fixed sizes from elsewhere would fight it.
    for (QWidget* b : {static_cast<QWidget*>(cmdFirstPage), static_cast<QWidget*>(cmdPrevPage),
                       static_cast<QWidget*>(cmdNextPage), static_cast<QWidget*>(cmdLastPage),
                       static_cast<QWidget*>(lblPageOf)}) {
        b->setMinimumSize(0, 0);
        b->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }

    fraHSplitter->setCursor(Qt::SplitVCursor);
    fraVSplitter->setCursor(Qt::SplitHCursor);
    fraHSplitter->installEventFilter(this);
    fraVSplitter->installEventFilter(this);
    // The toolbar showing or hiding moves the central widget; the controls keep their place
    // in the client area.
    central->installEventFilter(this);

    ApplyLayout(*this, Keeper(*this)->layout);
    KeepMinimumSize(*this, CurrentLayoutOptions(*this));
    resize(TwipsToPixels(DesignedClientWidth),
           TwipsToPixels(DesignedClientHeight) + menuBar()->sizeHint().height());
}

void frmMain::ResizeForm()
{
    LayoutKeeper* keeper = Keeper(*this);
    if (!keeper)
        return;
    LockWindowRedraw(this);
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);

    const LayoutOptions options = CurrentLayoutOptions(*this);
    KeepMinimumSize(*this, options);
    const WindowSize outer = OuterTwips(this);
    const ResizeOutcome outcome = ResizeLayout(keeper->layout, outer.width, outer.height, options);
    if (outcome.requestedSize && keeper->resizeDepth < MaxResizeDepth) {
        // The resize event this raises lays the window out at its new size.
        ++keeper->resizeDepth;
        resize(InnerPixels(this, outcome.requestedSize->width, outcome.requestedSize->height));
        --keeper->resizeDepth;
    }
    if (outcome.laidOut) {
        keeper->layout = outcome.layout;
        ApplyLayout(*this, keeper->layout);
    }
    UnlockWindowRedraw();
}

void frmMain::Form_Resize()
{
    if (!Keeper(*this))
        return;
    const int16_t state = WindowStateOf(this);
    const std::array<QWidget*, 2> findWindows{frmFindInFieldList.data(),
                                              frmFindInRecordList.data()};
    if (state == WindowStateMinimized) {
        // Qt may report one minimize more than once; the tags hold what was seen before it.
        if (PreviousWindowState != WindowStateMinimized) {
            for (QWidget* find : findWindows) {
                if (!find)
                    continue;
                find->setProperty(TagProperty, find->isVisible() ? QStringLiteral("True")
                                                                 : QStringLiteral("False"));
                find->hide();
            }
        }
        PreviousWindowState = state;
    } else if (PreviousWindowState != WindowStateMinimized) {
        PreviousWindowState = state;
        ResizeForm();
    } else {
        // Back from minimized: only the find windows come back, the layout stands.
        for (QWidget* find : findWindows) {
            if (find
                && find->property(TagProperty)
                           .toString()
                           .compare(QStringLiteral("True"), Qt::CaseInsensitive)
                       == 0)
                find->show();
        }
        PreviousWindowState = state;
    }
}

void frmMain::SetTopsForToolbar(bool toolbarShown)
{
    if (LayoutKeeper* keeper = Keeper(*this)) {
        keeper->layout.lstSegments.top = toolbarShown ? 840 : 180;
        keeper->layout.fraTCPIP.top = toolbarShown ? 720 : 0;
    }
}

void frmMain::SetStartUpToolbarLayout(bool toolbarShown)
{
    if (LayoutKeeper* keeper = Keeper(*this))
        keeper->layout = StartUpToolbarLayout(keeper->layout, toolbarShown);
}

void frmMain::SetHSplitterTop(double twips)
{
    if (LayoutKeeper* keeper = Keeper(*this))
        keeper->layout.fraHSplitter.top = twips;
}

void frmMain::MoveHSplitter()
{
    LayoutKeeper* keeper = Keeper(*this);
    if (!keeper)
        return;
    keeper->layout =
        MoveHSplitterLayout(keeper->layout, OuterTwips(this).height, CurrentLayoutOptions(*this));
    ApplyLayout(*this, keeper->layout);
    Form_Resize();
}

void frmMain::MoveVSplitter()
{
    LayoutKeeper* keeper = Keeper(*this);
    if (!keeper)
        return;
    keeper->layout = MoveVSplitterLayout(keeper->layout, OuterTwips(this).width);
    ApplyLayout(*this, keeper->layout);
}

void frmMain::SaveFrmPos(QWidget* window, const QString& key)
{
    if (!window || window->isMinimized())
        return;
    const QRect outer = window->frameGeometry();
    st.settings.Save(SettingsApp, WindowPosSection, key,
                     FormatWindowPos(PixelsToTwips(outer.x()), PixelsToTwips(outer.y()),
                                     PixelsToTwips(outer.width()), PixelsToTwips(outer.height()),
                                     WindowStateOf(window)));
}

void frmMain::GetlastFormpos(QWidget* window, const QString& key, bool allowResize)
{
    if (!window)
        return;
    const QString value = st.settings.Get(SettingsApp, WindowPosSection, key, QString());
    if (value.isEmpty())
        return;
    const std::optional<StoredWindowPos> stored = ParseWindowPos(value);
    if (!stored)
        return;
    const QRect screen = ScreenRect(window);
    const WindowSize current = OuterTwips(window);
    const StoredWindowPos pos =
        CorrectWindowPos(*stored, PixelsToTwips(screen.width()), PixelsToTwips(screen.height()),
                         current.width, current.height);
    if (pos.state == QLatin1Char('0')) {
        std::optional<QSize> outer;
        if (allowResize)
            outer = QSize(static_cast<int>(std::ceil(pos.width / TwipsPerPixel)),
                          static_cast<int>(std::ceil(pos.height / TwipsPerPixel)));
        PlaceFrameOnceKnown(window, QPoint(TwipsToPixels(pos.left), TwipsToPixels(pos.top)),
                            outer);
    } else if (pos.state == QLatin1Char('2')) {
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    }
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    LayoutKeeper* keeper = Keeper(*this);
    if (!keeper)
        return QMainWindow::eventFilter(watched, event);
    if (watched == centralWidget() && event->type() == QEvent::Move) {
        ApplyLayout(*this, keeper->layout);
        return false;
    }
    const bool horizontal = watched == fraHSplitter;
    if (!horizontal && watched != fraVSplitter)
        return QMainWindow::eventFilter(watched, event);

    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick
        && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return QMainWindow::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    // Mouse positions in twips, in the bar's own coordinates.
    const double along =
        (horizontal ? mouse->position().y() : mouse->position().x()) * TwipsPerPixel;
    double& grab = horizontal ? HSplitterGrabOffset : VSplitterGrabOffset;
    if (type == QEvent::MouseButtonRelease) {
        if (horizontal)
            MoveHSplitter();
        else
            MoveVSplitter();
    } else if (type != QEvent::MouseMove) {
        if (mouse->button() == Qt::LeftButton)
            grab = along;
    } else if (mouse->buttons() & Qt::LeftButton) {
        // The drag changes only the bar (and, for the vertical bar, the page buttons and label).
        const WindowSize outer = OuterTwips(this);
        MainLayout& l = keeper->layout;
        l = horizontal ? DragHSplitter(l, along, grab, outer.height)
                       : DragVSplitter(l, along, grab, outer.width);
        ApplyLayout(*this, l);
    }
    return true;
}

}  // namespace quillon

#include "frmMain_Layout.moc"
