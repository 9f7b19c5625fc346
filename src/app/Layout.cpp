#include "app/Layout.h"

#include <QStringList>
#include <array>

namespace quillon {

namespace {

// Minimum outer size: wide enough for the toolbar's captioned buttons when they show.
constexpr double MinWidthWithCaptions = 8850;
constexpr double MinWidth = 7000;
constexpr double MinHeight = 6900;
constexpr double MinFieldListWidth = 1000;
// Smallest top of the horizontal splitter after a resize while the TCP/IP panel shows.
constexpr double PanelSplitterTopWithToolbar = 3700;
constexpr double PanelSplitterTop = 2990;
// The page buttons' width and gap at the vertical splitter's designed position.
constexpr double DesignedVSplitterLeft = 4320;
constexpr double DesignedButtonWidth = 855;
constexpr double DesignedButtonGap = 105;
// Neither list side of the vertical splitter gets narrower than this while dragging.
constexpr double MinSideWidth = 2000;

}  // namespace

MainLayout MainLayout::Initial()
{
    MainLayout l;
    l.fraTCPIP = {120, 720, 5295, 3255};
    l.lstSegments = {5520, 840, 6375, 2580};
    l.fraHSplitter = {120, 4080, 14535, 80};
    l.fraVSplitter = {4320, 4080, 80, 4155};
    l.cmdFirstPage = {120, 3240, 855, 375};
    l.cmdPrevPage = {1080, 3240, 855, 375};
    l.cmdNextPage = {2040, 3240, 855, 375};
    l.cmdLastPage = {3000, 3240, 855, 375};
    l.lblFile = {120, 3720, 735, 210};
    l.lblPageOf = {2790, 3720, 945, 210};
    l.lstRecords = {120, 4140, 4035, 4050};
    l.lstFields = {4560, 4200, 10095, 4050};
    return l;
}

WindowSize MinimumWindowSize(const LayoutOptions& options)
{
    const bool captionedToolbar = options.toolbarShown && options.captionsShown;
    return {captionedToolbar ? MinWidthWithCaptions : MinWidth, MinHeight};
}

ResizeOutcome ResizeLayout(const MainLayout& layout, double width, double height,
                           const LayoutOptions& options)
{
    ResizeOutcome out{layout, false, std::nullopt};
    // Below the minimum size the window only springs back; its next resize lays it out.
    if (width < MinWidthWithCaptions && options.toolbarShown && options.captionsShown) {
        out.requestedSize = WindowSize{MinWidthWithCaptions, height};
        return out;
    }
    if (width < MinWidth) {
        out.requestedSize = WindowSize{MinWidth, height};
        return out;
    }
    if (height < MinHeight) {
        out.requestedSize = WindowSize{width, MinHeight};
        return out;
    }

    MainLayout& l = out.layout;
    const double th = options.toolbarHeight;
    l.lstSegments.left = options.panelShown ? l.fraTCPIP.right() + 125 : 125;
    l.lstSegments.width = width - l.lstSegments.left - 250;

    l.fraHSplitter.width = width - 400;
    l.fraHSplitter.top = l.lstSegments.height + (options.toolbarShown ? th : 0) + 200;
    if (options.panelShown) {
        const double lowest = options.toolbarShown ? PanelSplitterTopWithToolbar : PanelSplitterTop;
        if (l.fraHSplitter.top < lowest)
            l.fraHSplitter.top = lowest;
    }

    // Judged against the field list's left edge before it follows the splitter.
    if (width - l.lstFields.left < MinFieldListWidth) {
        width = l.lstFields.left + MinFieldListWidth;
        out.requestedSize = WindowSize{width, height};
    }
    l.lstFields.left = l.fraVSplitter.right() + 100;
    l.lstFields.width = width - l.lstFields.left - 250;
    l.lstFields.top = l.fraHSplitter.bottom() + 100;

    const double buttonTop = l.fraHSplitter.bottom() + 100;
    for (TwipsRect* b : {&l.cmdFirstPage, &l.cmdPrevPage, &l.cmdNextPage, &l.cmdLastPage})
        b->top = buttonTop;
    l.lblPageOf.top = l.cmdFirstPage.bottom() + 30;
    l.lblFile.top = l.lblPageOf.top;

    // The bottom margins count the toolbar whether or not it shows.
    l.lstRecords.top = l.lblPageOf.bottom() + 20;
    const double recordsHeight = height - l.lstRecords.top - th - 400;
    if (recordsHeight > 200)
        l.lstRecords.height = recordsHeight;
    l.lstRecords.width = l.lstFields.left - l.lstRecords.left - 300;
    l.lstFields.height = height - l.lstFields.top - th - 400;

    l.fraVSplitter.top = l.fraHSplitter.top;
    l.fraVSplitter.height = l.lstFields.height + 200;
    out.laidOut = true;
    return out;
}

MainLayout StartUpToolbarLayout(const MainLayout& layout, bool toolbarShown)
{
    MainLayout l = layout;
    l.lstSegments.height += toolbarShown ? -(735.0 - 210.0) : 735.0;
    if (l.lstSegments.height < 570)
        l.lstSegments.height = 570;
    l.lstSegments.top = toolbarShown ? 840 : 200;
    l.fraTCPIP.top = toolbarShown ? 720 : 0;
    return l;
}

MainLayout MoveHSplitterLayout(const MainLayout& layout, double height,
                               const LayoutOptions& options)
{
    MainLayout l = layout;
    double lowest = 570;
    if (options.panelShown)
        lowest = options.toolbarShown ? 4100 : 2990;
    else if (options.toolbarShown)
        lowest = 1570;
    double& top = l.fraHSplitter.top;
    if (top < lowest)
        top = lowest;
    // Applied second, so on a short window it wins over the lowest top.
    if (top > height - 3000)
        top = height - 3000;

    l.lstSegments.height = top - l.lstSegments.top - 100;
    if (l.lstSegments.height < 570)
        l.lstSegments.height = 570;
    if (options.panelShown)
        l.fraTCPIP.height = top - l.fraTCPIP.top - 100;
    return l;
}

MainLayout MoveVSplitterLayout(const MainLayout& layout, double width)
{
    MainLayout l = layout;
    if (l.fraVSplitter.left < MinSideWidth)
        l.fraVSplitter.left = MinSideWidth;
    l.lstRecords.width = l.fraVSplitter.left - l.lstRecords.left - 100;
    l.lstFields.left = l.fraVSplitter.right() + 100;
    // A wider right margin than a resize leaves.
    l.lstFields.width = width - l.lstFields.left - 300;
    return l;
}

MainLayout DragHSplitter(const MainLayout& layout, double y, double grab, double windowHeight)
{
    MainLayout l = layout;
    const double top = l.fraHSplitter.top + y - grab;
    if (top >= 540 && top <= windowHeight - 1000)
        l.fraHSplitter.top = top;
    return l;
}

MainLayout DragVSplitter(const MainLayout& layout, double x, double grab, double windowWidth)
{
    MainLayout l = layout;
    TwipsRect& bar = l.fraVSplitter;
    if (bar.left < MinSideWidth || windowWidth - bar.left - x < MinSideWidth)
        return l;

    // The buttons scale with the bar's position before this move.
    const double scale = bar.left / DesignedVSplitterLeft;
    const double buttonWidth = DesignedButtonWidth * scale;
    const double gap = DesignedButtonGap * scale;
    l.cmdFirstPage.width = buttonWidth;
    const TwipsRect* previous = &l.cmdFirstPage;
    for (TwipsRect* b : {&l.cmdPrevPage, &l.cmdNextPage, &l.cmdLastPage}) {
        b->width = buttonWidth;
        b->left = previous->right() + gap;
        previous = b;
    }

    bar.left = bar.left + x - grab;
    l.lblPageOf.left = l.cmdLastPage.right() - l.lblPageOf.width;
    return l;
}

// ---------------------------------------------------------------- Window positions

QString SingleText(double value)
{
    // Seven significant digits, as a single-precision number prints.
    return QString::number(static_cast<double>(static_cast<float>(value)), 'g', 7).toUpper();
}

QString FormatWindowPos(double left, double top, double width, double height, int state)
{
    return QStringList{SingleText(left), SingleText(top), SingleText(width), SingleText(height),
                       QString::number(state)}
        .join(QLatin1Char(','));
}

std::optional<StoredWindowPos> ParseWindowPos(const QString& value)
{
    std::array<float, 4> numbers{};
    qsizetype start = 0;
    for (float& number : numbers) {
        const qsizetype comma = value.indexOf(QLatin1Char(','), start);
        if (comma < 0)
            return std::nullopt;
        bool ok = false;
        number = value.mid(start, comma - start).trimmed().toFloat(&ok);
        if (!ok)
            return std::nullopt;
        start = comma + 1;
    }
    return StoredWindowPos{numbers[0], numbers[1], numbers[2], numbers[3], value.back()};
}

StoredWindowPos CorrectWindowPos(StoredWindowPos pos, double screenWidth, double screenHeight,
                                 double currentWidth, double currentHeight)
{
    const auto sw = static_cast<float>(screenWidth);
    const auto sh = static_cast<float>(screenHeight);
    // In this order: a width of 0 takes the current width, which is bounded again after.
    if (pos.left > sw)
        pos.left = 0;
    if (pos.width > sw)
        pos.width = sw;
    if (pos.height == 0)
        pos.height = static_cast<float>(currentHeight);
    if (pos.width == 0)
        pos.width = static_cast<float>(currentWidth);
    if (pos.height > sh)
        pos.height = sh;
    if (pos.width > sw)
        pos.width = sw;
    if (pos.left > sw - 300)
        pos.left = 0;
    if (pos.top > sh - 300)
        pos.top = 0;
    return pos;
}

TwipsRect CenterRect(double width, double height, double screenWidth, double screenHeight)
{
    // Halves taken before subtracting, in single precision.
    const float left = static_cast<float>(screenWidth) / 2 - static_cast<float>(width) / 2;
    const float top = static_cast<float>(screenHeight) / 2 - static_cast<float>(height) / 2;
    return {left, top, width, height};
}

}  // namespace quillon
