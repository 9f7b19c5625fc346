// The main window's twips geometry: resizing, the two splitters, dragging them, and stored
// window positions; then the window offscreen applying them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <optional>

#include "TestSupport.h"
#include "editing/FindDialog.h"
#include "app/Layout.h"

namespace quillon {

void PrintTo(const TwipsRect& r, std::ostream* os)
{
    *os << "{" << r.left << ", " << r.top << ", " << r.width << ", " << r.height << "}";
}

namespace {

constexpr LayoutOptions ToolbarAndCaptions{true, true, false, 450};

// ---------------------------------------------------------------- Resizing

struct SpringCase {
    const char* name;
    double width, height;
    bool toolbar, captions;
    std::optional<WindowSize> requested;  // none: laid out at this size
};

TEST(ResizeLayout, SpringsBackBelowTheMinimumSize)
{
    const SpringCase cases[] = {
        {"captioned toolbar needs 8850", 8849, 9000, true, true, WindowSize{8850, 9000}},
        {"8850 with captions is enough", 8850, 9000, true, true, std::nullopt},
        {"without captions 7000 is enough", 7000, 9000, true, false, std::nullopt},
        {"without captions below 7000", 6999, 9000, true, false, WindowSize{7000, 9000}},
        {"captions without toolbar", 6999, 9000, false, true, WindowSize{7000, 9000}},
        {"captions without toolbar, 8000", 8000, 9000, false, true, std::nullopt},
        {"too low", 13260, 6899, true, true, WindowSize{13260, 6900}},
        {"6900 is enough", 13260, 6900, true, true, std::nullopt},
        {"width first, height on the next pass", 5000, 5000, true, true, WindowSize{8850, 5000}},
    };
    const MainLayout initial = MainLayout::Initial();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ResizeOutcome out =
            ResizeLayout(initial, c.width, c.height, {c.toolbar, c.captions, false, 450});
        EXPECT_EQ(out.requestedSize, c.requested);
        EXPECT_EQ(out.laidOut, !c.requested.has_value());
        if (!out.laidOut) {
            EXPECT_EQ(out.layout, initial) << "a spring-back lays nothing out";
        }
    }
}

TEST(ResizeLayout, LaysOutTheDesignedWindow)
{
    const MainLayout initial = MainLayout::Initial();
    const ResizeOutcome out = ResizeLayout(initial, 13260, 9000, ToolbarAndCaptions);
    ASSERT_TRUE(out.laidOut);
    EXPECT_FALSE(out.requestedSize);
    const MainLayout& l = out.layout;
    EXPECT_EQ(l.lstSegments, (TwipsRect{125, 840, 12885, 2580}));
    EXPECT_EQ(l.fraHSplitter, (TwipsRect{120, 3230, 12860, 80}));
    EXPECT_EQ(l.fraVSplitter, (TwipsRect{4320, 3230, 80, 4940}));
    EXPECT_EQ(l.lstFields, (TwipsRect{4500, 3410, 8510, 4740}));
    EXPECT_EQ(l.cmdFirstPage, (TwipsRect{120, 3410, 855, 375}));
    EXPECT_EQ(l.cmdLastPage, (TwipsRect{3000, 3410, 855, 375}));
    EXPECT_EQ(l.lblPageOf, (TwipsRect{2790, 3815, 945, 210}));
    EXPECT_EQ(l.lblFile, (TwipsRect{120, 3815, 735, 210}));
    EXPECT_EQ(l.lstRecords, (TwipsRect{120, 4045, 4080, 4105}));
    EXPECT_EQ(l.fraTCPIP, initial.fraTCPIP) << "the panel is not the resize's business";
    // Laying out again at the same size changes nothing.
    EXPECT_EQ(ResizeLayout(l, 13260, 9000, ToolbarAndCaptions).layout, l);
}

struct PanelCase {
    const char* name;
    bool toolbar, panel;
    double segmentsHeight;
    double splitterTop, segmentsLeft;
};

TEST(ResizeLayout, SplitterTopAndSegmentListFollowToolbarAndPanel)
{
    // th = 450 in every case; the splitter top counts it only while the toolbar shows.
    const PanelCase cases[] = {
        {"no panel, toolbar", true, false, 2580, 3230, 125},
        {"no panel, no toolbar", false, false, 2580, 2780, 125},
        {"panel and toolbar: 3700 at least", true, true, 2580, 3700, 5540},
        {"panel, no toolbar: 2990 at least", false, true, 2580, 2990, 5540},
        {"panel and toolbar, already lower", true, true, 4000, 4650, 5540},
        {"panel, no toolbar, already lower", false, true, 2800, 3000, 5540},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MainLayout start = MainLayout::Initial();
        start.lstSegments.height = c.segmentsHeight;
        const MainLayout l =
            ResizeLayout(start, 13260, 9000, {c.toolbar, true, c.panel, 450}).layout;
        EXPECT_EQ(l.fraHSplitter.top, c.splitterTop);
        EXPECT_EQ(l.lstSegments.left, c.segmentsLeft);
        EXPECT_EQ(l.lstSegments.width, 13260 - c.segmentsLeft - 250);
        // The bottom margins count the toolbar's height even while it is hidden.
        EXPECT_EQ(l.lstFields.height, 9000 - l.lstFields.top - 450 - 400);
        EXPECT_EQ(l.lstFields.top, c.splitterTop + 180);
    }
}

TEST(ResizeLayout, RecordListKeepsItsHeightWhenLittleWouldBeLeft)
{
    // With a tall segment list the record list starts at 6465; it takes H - 6465 - 450 - 400
    // only when that is more than 200.
    MainLayout start = MainLayout::Initial();
    start.lstSegments.height = 5000;
    const struct {
        double height, recordsHeight;
    } cases[] = {{6900, 4050}, {7515, 4050}, {7530, 215}, {9000, 1685}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.height);
        const MainLayout l = ResizeLayout(start, 13260, c.height, ToolbarAndCaptions).layout;
        EXPECT_EQ(l.lstRecords.top, 6465);
        EXPECT_EQ(l.lstRecords.height, c.recordsHeight);
    }
}

TEST(ResizeLayout, WidensTheWindowSoTheFieldListKeepsItsWidth)
{
    // The splitter was dragged to 6400, so the field list starts at 6580.
    MainLayout start = MainLayout::Initial();
    start.fraVSplitter.left = 6400;
    start.lstFields.left = 6580;
    const LayoutOptions noCaptions{true, false, false, 450};
    const struct {
        double width;
        std::optional<WindowSize> requested;
        double fieldsWidth;
    } cases[] = {
        {7400, WindowSize{7580, 9000}, 750},
        {7579, WindowSize{7580, 9000}, 750},
        {7580, std::nullopt, 750},
        {9000, std::nullopt, 2170},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        const ResizeOutcome out = ResizeLayout(start, c.width, 9000, noCaptions);
        EXPECT_TRUE(out.laidOut) << "the layout goes on at the widened size";
        EXPECT_EQ(out.requestedSize, c.requested);
        EXPECT_EQ(out.layout.lstFields.left, 6580);
        EXPECT_EQ(out.layout.lstFields.width, c.fieldsWidth);
    }
}

// ---------------------------------------------------------------- Splitters

TEST(MoveHSplitterLayout, ClampsTheTopAndSizesSegmentsAndPanel)
{
    const struct {
        const char* name;
        bool toolbar, panel;
        double top, height;
        double expectedTop, segmentsHeight, panelHeight;
    } cases[] = {
        {"panel and toolbar", true, true, 3000, 9000, 4100, 3160, 3280},
        {"panel only", false, true, 2000, 9000, 2990, 2050, 2170},
        {"toolbar only", true, false, 1000, 9000, 1570, 630, 3255},
        {"neither: segment list stays 570 high", false, false, 500, 9000, 570, 570, 3255},
        {"in range", false, false, 3000, 9000, 3000, 2060, 3255},
        {"near the bottom", true, false, 8500, 9000, 6000, 5060, 3255},
        {"H - 3000 exactly", true, false, 6000, 9000, 6000, 5060, 3255},
        {"short window: the bottom rule wins", true, true, 3000, 6900, 3900, 2960, 3080},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MainLayout start = MainLayout::Initial();
        start.fraHSplitter.top = c.top;
        const MainLayout l = MoveHSplitterLayout(start, c.height, {c.toolbar, true, c.panel, 450});
        EXPECT_EQ(l.fraHSplitter.top, c.expectedTop);
        EXPECT_EQ(l.lstSegments.height, c.segmentsHeight);
        EXPECT_EQ(l.fraTCPIP.height, c.panelHeight);
    }
}

TEST(StartUpToolbarLayout, MovesTheSegmentListAndPanelForTheToolbar)
{
    const struct {
        bool toolbar;
        double segmentsHeight, expectedHeight, segmentsTop, panelTop;
    } cases[] = {
        {true, 2580, 2055, 840, 720},
        {true, 900, 570, 840, 720},  // never lower than 570
        {false, 2580, 3315, 200, 0},
        {false, 100, 835, 200, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.segmentsHeight);
        MainLayout start = MainLayout::Initial();
        start.lstSegments.height = c.segmentsHeight;
        const MainLayout l = StartUpToolbarLayout(start, c.toolbar);
        EXPECT_EQ(l.lstSegments.height, c.expectedHeight);
        EXPECT_EQ(l.lstSegments.top, c.segmentsTop);
        EXPECT_EQ(l.fraTCPIP.top, c.panelTop);
    }
}

TEST(MoveVSplitterLayout, KeepsTwoThousandAndANarrowerFieldList)
{
    const struct {
        double left, expectedLeft, recordsWidth, fieldsLeft, fieldsWidth;
    } cases[] = {
        {4320, 4320, 4100, 4500, 8460},  // 50 narrower than after a resize
        {2000, 2000, 1780, 2180, 10780},
        {1500, 2000, 1780, 2180, 10780},
        {8000, 8000, 7780, 8180, 4780},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.left);
        MainLayout start = MainLayout::Initial();
        start.fraVSplitter.left = c.left;
        const MainLayout l = MoveVSplitterLayout(start, 13260);
        EXPECT_EQ(l.fraVSplitter.left, c.expectedLeft);
        EXPECT_EQ(l.lstRecords.width, c.recordsWidth);
        EXPECT_EQ(l.lstFields.left, c.fieldsLeft);
        EXPECT_EQ(l.lstFields.width, c.fieldsWidth);
    }
}

TEST(DragHSplitter, MovesOnlyBetween540AndOneThousandAboveTheBottom)
{
    const struct {
        const char* name;
        double y, grab, expectedTop;
    } cases[] = {
        {"down", 500, 200, 3530},       {"up", 0, 1000, 2230},
        {"to 540", 0, 2690, 540},       {"above 540", 0, 2691, 3230},
        {"to H - 1000", 4770, 0, 8000}, {"within 1000 of the bottom", 4771, 0, 3230},
    };
    MainLayout start = MainLayout::Initial();
    start.fraHSplitter.top = 3230;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MainLayout expected = start;
        expected.fraHSplitter.top = c.expectedTop;
        EXPECT_EQ(DragHSplitter(start, c.y, c.grab, 9000), expected) << "only the bar moves";
    }
}

TEST(DragVSplitter, ScalesThePageButtonsWithTheBarsPosition)
{
    const struct {
        double barLeft, width, gap;
    } cases[] = {{4320, 855, 105}, {2160, 427.5, 52.5}, {8640, 1710, 210}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.barLeft);
        MainLayout start = MainLayout::Initial();
        start.fraVSplitter.left = c.barLeft;
        // The buttons scale by the position before this move.
        const MainLayout l = DragVSplitter(start, 40, 10, 20000);
        EXPECT_EQ(l.fraVSplitter.left, c.barLeft + 30);
        const TwipsRect* buttons[] = {&l.cmdFirstPage, &l.cmdPrevPage, &l.cmdNextPage,
                                      &l.cmdLastPage};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(buttons[i]->left, 120 + i * (c.width + c.gap)) << "button " << i;
            EXPECT_EQ(buttons[i]->width, c.width) << "button " << i;
            EXPECT_EQ(buttons[i]->top, start.cmdFirstPage.top);
        }
        EXPECT_EQ(l.lblPageOf.right(), l.cmdLastPage.right()) << "page label right-aligned";
        EXPECT_EQ(l.lblPageOf.width, 945);
    }
}

TEST(DragVSplitter, IgnoresMovesThatLeaveASideUnderTwoThousand)
{
    const struct {
        const char* name;
        double barLeft, x;
        bool moves;
    } cases[] = {
        {"left side at 2000", 2000, 0, true},
        {"left side under 2000", 1999, 500, false},
        {"right side keeps 2000", 4320, 6940, true},
        {"right side would keep 1999", 4320, 6941, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MainLayout start = MainLayout::Initial();
        start.fraVSplitter.left = c.barLeft;
        const MainLayout l = DragVSplitter(start, c.x, 100, 13260);
        EXPECT_EQ(l.fraVSplitter.left, c.moves ? c.barLeft + c.x - 100 : c.barLeft);
        if (!c.moves) {
            EXPECT_EQ(l, start);
        }
    }
}

TEST(DragVSplitter, FarLeftStopsUnderTwoThousandAndTheReleasePutsItAt2000)
{
    MainLayout l = MainLayout::Initial();
    l.fraVSplitter.left = 2100;
    l = DragVSplitter(l, 0, 300, 13260);
    EXPECT_EQ(l.fraVSplitter.left, 1800);
    const MainLayout stuck = DragVSplitter(l, 0, 300, 13260);
    EXPECT_EQ(stuck, l);
    EXPECT_EQ(MoveVSplitterLayout(stuck, 13260).fraVSplitter.left, 2000);
}

// ---------------------------------------------------------------- Window positions

TEST(WindowPos, FormatsSingleTexts)
{
    const struct {
        double left, top, width, height;
        int state;
        const char* text;
    } cases[] = {
        {1200, 900, 13500, 9000, 0, "1200,900,13500,9000,0"},
        {-120, -60, 19200, 12000, 2, "-120,-60,19200,12000,2"},
        {1234.5, 0, 0.25, 12345678, 0, "1234.5,0,0.25,1.234568E+07,0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatWindowPos(c.left, c.top, c.width, c.height, c.state),
                  QLatin1String(c.text));
        const auto back = ParseWindowPos(QLatin1String(c.text));
        ASSERT_TRUE(back) << c.text;
        EXPECT_EQ(back->left, static_cast<float>(c.left));
        EXPECT_FLOAT_EQ(back->height, static_cast<float>(c.height));
        EXPECT_EQ(back->state, QChar(static_cast<char16_t>(u'0' + c.state)));
    }
}

TEST(WindowPos, ParsesOnlyTheStoredForm)
{
    EXPECT_EQ(ParseWindowPos(QStringLiteral("1,2,3,4,2,junk2")),
              (StoredWindowPos{1, 2, 3, 4, u'2'}))
        << "state is the last character";
    for (const char* bad : {"", "1200,900,13500", "1200,x,13500,9000,0", "1200,900,,9000,0"})
        EXPECT_FALSE(ParseWindowPos(QLatin1String(bad))) << bad;
}

TEST(WindowPos, CorrectionsPullTheWindowOntoTheScreen)
{
    // Screen 19200 x 12000, window currently 13500 x 9000.
    const struct {
        const char* name;
        StoredWindowPos stored, expected;
    } cases[] = {
        {"left beyond the screen", {20000, 100, 5000, 4000, u'0'}, {0, 100, 5000, 4000, u'0'}},
        {"left within 300 of the edge", {18901, 100, 5000, 4000, u'0'}, {0, 100, 5000, 4000, u'0'}},
        {"left 300 from the edge stays",
         {18900, 100, 5000, 4000, u'0'},
         {18900, 100, 5000, 4000, u'0'}},
        {"top within 300 of the bottom",
         {100, 11701, 5000, 4000, u'0'},
         {100, 0, 5000, 4000, u'0'}},
        {"top 300 from the bottom stays",
         {100, 11700, 5000, 4000, u'0'},
         {100, 11700, 5000, 4000, u'0'}},
        {"width 0 keeps the current width",
         {100, 100, 0, 4000, u'0'},
         {100, 100, 13500, 4000, u'0'}},
        {"height 0 keeps the current height",
         {100, 100, 5000, 0, u'0'},
         {100, 100, 5000, 9000, u'0'}},
        {"larger than the screen", {0, 0, 25000, 15000, u'0'}, {0, 0, 19200, 12000, u'0'}},
        {"negative edges stay", {-500, -200, 5000, 4000, u'0'}, {-500, -200, 5000, 4000, u'0'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CorrectWindowPos(c.stored, 19200, 12000, 13500, 9000), c.expected);
    }
}

TEST(CenterRect, HalvesBeforeSubtractingAndMayGoNegative)
{
    const struct {
        double width, height, left, top;
    } cases[] = {
        {13500, 9000, 2850, 1500},
        {19200, 12000, 0, 0},
        {20000, 13000, -400, -500},
        {1001, 3, 9099.5, 5998.5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CenterRect(c.width, c.height, 19200, 12000),
                  (TwipsRect{c.left, c.top, c.width, c.height}));
    }
}

// ---------------------------------------------------------------- The window

class LayoutWindow : public ::testing::Test {
protected:
    test::MainWindowFixture f;
    frmMain& w = *f.window;

    void SetUp() override
    {
        w.show();
        w.resize(760, 560);  // inside the 800 x 600 offscreen screen
        QCoreApplication::processEvents();
    }

    LayoutOptions Options() const
    {
        return {true, true, false, PixelsToTwips(w.tbarTools->height())};
    }
    double WidthTwips() const { return PixelsToTwips(w.frameGeometry().width()); }
    double HeightTwips() const { return PixelsToTwips(w.frameGeometry().height()); }

    // A control's geometry in the window's client area (below the menu bar), in pixels.
    QRect ClientRect(const QWidget* control) const
    {
        const QPoint topLeft =
            control->mapTo(&w, QPoint(0, 0)) - QPoint(0, w.menuBar()->geometry().bottom() + 1);
        return {topLeft, control->size()};
    }
    static QRect Pixels(const TwipsRect& r)
    {
        return {TwipsToPixels(r.left), TwipsToPixels(r.top), TwipsToPixels(r.width),
                TwipsToPixels(r.height)};
    }

    void Mouse(QWidget* bar, QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, QPointF(at), bar->mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(bar, &e);
    }
    void Drag(QWidget* bar, QPoint from, QPoint to)
    {
        Mouse(bar, QEvent::MouseButtonPress, from, Qt::LeftButton);
        Mouse(bar, QEvent::MouseMove, to, Qt::LeftButton);
        Mouse(bar, QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
};

TEST_F(LayoutWindow, ControlsStandWhereTheLayoutSays)
{
    const MainLayout l =
        ResizeLayout(MainLayout::Initial(), WidthTwips(), HeightTwips(), Options()).layout;
    EXPECT_EQ(ClientRect(w.lstFields), Pixels(l.lstFields));
    EXPECT_EQ(ClientRect(w.lstRecords), Pixels(l.lstRecords));
    EXPECT_EQ(ClientRect(w.lstSegments), Pixels(l.lstSegments));
    EXPECT_EQ(ClientRect(w.cmdLastPage), Pixels(l.cmdLastPage));
    EXPECT_EQ(w.fraHSplitter->cursor().shape(), Qt::SplitVCursor);
    EXPECT_EQ(w.fraVSplitter->cursor().shape(), Qt::SplitHCursor);
    EXPECT_LE(w.lstFields->geometry().bottom(), w.centralWidget()->height())
        << "the field list ends above the status bar";

    // Too small a window is held at the minimum size.
    w.resize(300, 200);
    QCoreApplication::processEvents();
    EXPECT_GE(WidthTwips(), 8850);
    EXPECT_GE(HeightTwips(), 6900);
    const MainLayout small =
        ResizeLayout(MainLayout::Initial(), WidthTwips(), HeightTwips(), Options()).layout;
    EXPECT_EQ(ClientRect(w.lstFields), Pixels(small.lstFields));
}

TEST_F(LayoutWindow, HidingTheToolbarLeavesTheControlsInPlace)
{
    const QRect fields = ClientRect(w.lstFields);
    const int centralTop = w.centralWidget()->y();
    w.tbarTools->hide();
    QCoreApplication::processEvents();
    ASSERT_LT(w.centralWidget()->y(), centralTop);
    EXPECT_EQ(ClientRect(w.lstFields), fields);
}

TEST_F(LayoutWindow, DraggingTheSplittersMovesTheLists)
{
    const MainLayout before =
        ResizeLayout(MainLayout::Initial(), WidthTwips(), HeightTwips(), Options()).layout;
    // Vertical bar 72 pixels (1080 twips) to the left.
    Drag(w.fraVSplitter, {2, 10}, {-70, 10});
    const MainLayout dragged =
        MoveVSplitterLayout(DragVSplitter(before, -70 * 15, 2 * 15, WidthTwips()), WidthTwips());
    EXPECT_EQ(dragged.fraVSplitter.left, 3240);
    EXPECT_EQ(ClientRect(w.lstRecords), Pixels(dragged.lstRecords));
    EXPECT_EQ(ClientRect(w.lstFields), Pixels(dragged.lstFields));
    EXPECT_EQ(ClientRect(w.cmdLastPage), Pixels(dragged.cmdLastPage));

    // Horizontal bar 60 pixels down: the segment list grows, the resize rules follow.
    Drag(w.fraHSplitter, {100, 2}, {100, 62});
    MainLayout expected = MoveHSplitterLayout(
        DragHSplitter(dragged, 62 * 15, 2 * 15, HeightTwips()), HeightTwips(), Options());
    expected = ResizeLayout(expected, WidthTwips(), HeightTwips(), Options()).layout;
    EXPECT_GT(expected.lstSegments.height, before.lstSegments.height);
    EXPECT_EQ(ClientRect(w.lstSegments), Pixels(expected.lstSegments));
    EXPECT_EQ(ClientRect(w.lstFields), Pixels(expected.lstFields));
}

TEST_F(LayoutWindow, MinimizingHidesOpenFindWindowsAndRestoringShowsThemAgain)
{
    // The window deletes its find dialogs.
    w.frmFindInFieldList = new FindDialog(FindDialog::Kind::FieldList, f.state, f.responder);
    w.frmFindInRecordList = new FindDialog(FindDialog::Kind::RecordList, f.state, f.responder);
    FindDialog& shown = *w.frmFindInFieldList;
    FindDialog& hidden = *w.frmFindInRecordList;
    shown.show();

    w.setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(shown.isVisible());
    EXPECT_EQ(shown.property("Tag").toString(), QStringLiteral("True"));
    EXPECT_EQ(hidden.property("Tag").toString(), QStringLiteral("False"));
    w.Form_Resize();  // a second report of the same minimize keeps what was seen before it
    EXPECT_EQ(shown.property("Tag").toString(), QStringLiteral("True"));
    w.setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(shown.isVisible());
    EXPECT_FALSE(hidden.isVisible());

    // Laying out a minimized window maximizes it.
    w.setWindowState(Qt::WindowMinimized);
    w.ResizeForm();
    EXPECT_TRUE(w.isMaximized());
    EXPECT_FALSE(w.isMinimized());
}

TEST_F(LayoutWindow, StoredPositionComesBack)
{
    const QString key = QStringLiteral("frmMain");
    w.setGeometry(40, 30, 700, 500);
    QCoreApplication::processEvents();
    const QRect placed = w.frameGeometry();
    w.SaveFrmPos(&w, key);
    EXPECT_EQ(f.state.settings.Get(QStringLiteral("Quillon"), QStringLiteral("Windowpos"), key),
              FormatWindowPos(placed.x() * 15, placed.y() * 15, placed.width() * 15,
                              placed.height() * 15, 0));

    // Minimized: nothing is stored, the earlier value stands.
    const QString earlier =
        f.state.settings.Get(QStringLiteral("Quillon"), QStringLiteral("Windowpos"), key);
    w.setWindowState(Qt::WindowMinimized);
    w.SaveFrmPos(&w, key);
    EXPECT_EQ(f.state.settings.Get(QStringLiteral("Quillon"), QStringLiteral("Windowpos"), key),
              earlier);
    w.setWindowState(Qt::WindowNoState);
    w.resize(640, 480);
    w.move(0, 0);
    QCoreApplication::processEvents();

    w.GetlastFormpos(&w, key, true);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.frameGeometry(), placed);

    // Without leave to resize only the place comes back.
    w.setGeometry(0, 0, 620, 470);
    QCoreApplication::processEvents();
    w.GetlastFormpos(&w, key, false);
    EXPECT_EQ(w.frameGeometry().topLeft(), placed.topLeft());
    EXPECT_EQ(w.size(), QSize(620, 470));

    // Closed maximized: the next window opens maximized.
    w.setWindowState(Qt::WindowMaximized);
    QCoreApplication::processEvents();
    w.SaveFrmPos(&w, key);
    EXPECT_TRUE(f.state.settings.Get(QStringLiteral("Quillon"), QStringLiteral("Windowpos"), key)
                    .endsWith(QLatin1String(",2")));
    w.setWindowState(Qt::WindowNoState);
    w.GetlastFormpos(&w, key, true);
    EXPECT_TRUE(w.isMaximized());
}

}  // namespace
}  // namespace quillon
