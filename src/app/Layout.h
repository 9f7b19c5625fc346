#pragma once
// The main window's geometry in twips, and stored window positions. Pure functions: the window
// only applies what they answer (15 twips a pixel).
#include <QChar>
#include <QString>
#include <cmath>
#include <optional>

namespace quillon {

inline constexpr double TwipsPerPixel = 15.0;

inline int TwipsToPixels(double twips)
{
    return static_cast<int>(std::lround(twips / TwipsPerPixel));
}
inline double PixelsToTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    double right() const { return left + width; }
    double bottom() const { return top + height; }
    bool operator==(const TwipsRect&) const = default;
};

// The main window's client area as designed, before a stored position is restored.
inline constexpr double DesignedClientWidth = 13260;
inline constexpr double DesignedClientHeight = 8190;

// The controls the main window lays out, in the coordinates of its client area (the toolbar's
// top edge is 0). The rules recompute only some values and keep the others, so the starting
// geometry matters.
struct MainLayout {
    TwipsRect fraTCPIP;
    TwipsRect lstSegments;
    TwipsRect fraHSplitter;
    TwipsRect fraVSplitter;
    TwipsRect cmdFirstPage;
    TwipsRect cmdPrevPage;
    TwipsRect cmdNextPage;
    TwipsRect cmdLastPage;
    TwipsRect lblFile;
    TwipsRect lblPageOf;
    TwipsRect lstRecords;
    TwipsRect lstFields;

    static MainLayout Initial();
    bool operator==(const MainLayout&) const = default;
};

// What the layout depends on besides the window's outer size.
struct LayoutOptions {
    bool toolbarShown = true;   // Options > Display Toolbar
    bool captionsShown = true;  // Options > Display Button Captions
    bool panelShown = false;    // View > TCP/IP Window
    double toolbarHeight = 0;   // twips, counted by some rules even while the toolbar is hidden
};

struct WindowSize {
    double width = 0;
    double height = 0;
    bool operator==(const WindowSize&) const = default;
};

struct ResizeOutcome {
    MainLayout layout;
    // False when the window was below its minimum size: it is to be resized (to
    // `requestedSize`) and the layout is left to the resize that follows.
    bool laidOut = false;
    // The outer size the window is to take, when it must change.
    std::optional<WindowSize> requestedSize;
};

// The smallest outer size the layout accepts; a smaller window springs back.
WindowSize MinimumWindowSize(const LayoutOptions& options);

// Lays the controls out for a window of outer size width x height (twips).
ResizeOutcome ResizeLayout(const MainLayout& layout, double width, double height,
                           const LayoutOptions& options);

// At start-up, once the stored options are known: the segment list and the TCP/IP panel make
// room for the toolbar (or take its place), the segment list never lower than 570 twips.
MainLayout StartUpToolbarLayout(const MainLayout& layout, bool toolbarShown);

// After the horizontal splitter was released: clamps its top, sizes the segment list and the
// TCP/IP panel to it. The window then runs its resize handling.
MainLayout MoveHSplitterLayout(const MainLayout& layout, double height,
                               const LayoutOptions& options);
// After the vertical splitter was released: clamps its left edge, sizes the record and field
// lists to it.
MainLayout MoveVSplitterLayout(const MainLayout& layout, double width);

// A mouse move while dragging a splitter bar; y (x) is the mouse position in the bar's own
// coordinates, grab the position at which the bar was taken. Only the bar moves (and, for the
// vertical bar, the page buttons and the page label above the record list).
MainLayout DragHSplitter(const MainLayout& layout, double y, double grab, double windowHeight);
MainLayout DragVSplitter(const MainLayout& layout, double x, double grab, double windowWidth);

// ---------------------------------------------------------------- Window positions

// Window states as stored: 0 normal, 1 minimized (never stored), 2 maximized.
inline constexpr int WindowStateNormal = 0;
inline constexpr int WindowStateMinimized = 1;
inline constexpr int WindowStateMaximized = 2;

// A number as the text of a single-precision value: "1200", "1234.5", "1.234568E+07".
QString SingleText(double value);

// "left,top,width,height,state", all twips.
QString FormatWindowPos(double left, double top, double width, double height, int state);

struct StoredWindowPos {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    QChar state;  // the value's last character: '0' normal, '2' maximized
    bool operator==(const StoredWindowPos&) const = default;
};

// Reads a stored value; nothing for a value that is not in the stored form (fewer than four
// commas, or one of the four numbers unreadable).
std::optional<StoredWindowPos> ParseWindowPos(const QString& value);

// Pulls a stored place back onto a screen of screenWidth x screenHeight; a width or height of 0
// takes the window's current one. Negative edges stay.
StoredWindowPos CorrectWindowPos(StoredWindowPos pos, double screenWidth, double screenHeight,
                                 double currentWidth, double currentHeight);

// The place of a width x height window centred on the screen; edges are negative when the
// window is larger than the screen.
TwipsRect CenterRect(double width, double height, double screenWidth, double screenHeight);

}  // namespace quillon
