// The main window offscreen: loading files, the pages of the record list, the boxes a load
// shows and what it hands to the desktop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/WindowUtility.h"
#include "app/frmProgressIndicator.h"

namespace quillon::test
{
namespace
{

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

// An HL7 file of `count` records and the record texts the store should hold for it.
// The segments end with CR LF in the file; the store keeps each followed by a lone CR.
struct GeneratedFile {
    std::string bytes;
    std::vector<std::string> records;
    std::vector<std::vector<std::string>> segments;
};

GeneratedFile MakeHL7(int count)
{
    GeneratedFile g;
    for (int i = 1; i <= count; ++i) {
        const std::string n = std::to_string(i);
        std::vector<std::string> segs = {
            "MSH|^~\\&|QUILLON|MAIN|RECV|LAB|20260101120000||ADT^A01|MSG" + n + "|P|2.4",
            "EVN|A01|20260101120000",
            "PID|1||" + n + "^^^MAIN^MR||DOE^PATIENT" + n + "||19700101|F",
        };
        if (i % 3 == 0)
            segs.push_back("PV1|1|I|W" + n);
        std::string record;
        for (const auto& s : segs) {
            g.bytes += s + "\r\n";
            record += s + "\r";
        }
        g.records.push_back(record);
        g.segments.push_back(segs);
    }
    return g;
}

QStringList Rows(const ListBox* list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

QStringList Latin1List(const std::vector<std::string>& texts)
{
    QStringList out;
    for (const auto& t : texts)
        out << frmMain::DisplayText(t);
    return out;
}

// The records of the store, 1 to RecordCount.
std::vector<std::string> StoredRecords(const RecordStore& store)
{
    std::vector<std::string> out;
    for (int32_t i = 1; i <= store.RecordCount; ++i)
        out.emplace_back(store.Record(i));
    return out;
}

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;

    void Load(const QString& path)
    {
        w.LoadHL7File(path);
        EXPECT_FALSE(w.IsLoading());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "wait cursor left on";
    }

    // Loads a generated file and answers its path.
    QString LoadGenerated(const QString& name, int count, GeneratedFile* out = nullptr)
    {
        GeneratedFile g = MakeHL7(count);
        const QString path = f.WriteFile(name, g.bytes);
        Load(path);
        if (out)
            *out = std::move(g);
        return path;
    }

    // The rows, labels, selection and segment list show page `page` of `g`.
    void ExpectPageShown(const GeneratedFile& g, int page)
    {
        const int total = static_cast<int>(g.records.size());
        const int first = (page - 1) * 400;
        const int rows = std::min(400, total - first);
        ASSERT_GT(rows, 0);
        const std::vector<std::string> expected(
            g.records.begin() + first, g.records.begin() + first + rows);
        EXPECT_EQ(w.CurrentPage, page);
        EXPECT_EQ(Rows(w.lstRecords), Latin1List(expected));
        EXPECT_EQ(
            w.lblPageOf->text(), QStringLiteral("Pg %1/%2").arg(page).arg((total + 399) / 400));
        EXPECT_EQ(w.lstRecords->currentRow(), 0);
        ASSERT_EQ(w.lstRecords->selectedItems().size(), 1);
        EXPECT_EQ(w.lstRecords->row(w.lstRecords->selectedItems().front()), 0);
        EXPECT_EQ(w.CurrentRecordIndex, 0);
        EXPECT_EQ(Rows(w.lstSegments), Latin1List(g.segments[static_cast<size_t>(first)]));
    }

    struct PageButtons {
        bool first, prev, next, last;
    };
    void ExpectPageButtons(PageButtons b)
    {
        EXPECT_EQ(w.cmdFirstPage->isEnabled(), b.first);
        EXPECT_EQ(w.cmdPrevPage->isEnabled(), b.prev);
        EXPECT_EQ(w.cmdNextPage->isEnabled(), b.next);
        EXPECT_EQ(w.cmdLastPage->isEnabled(), b.last);
    }

    void ExpectNothingLoaded()
    {
        EXPECT_EQ(w.st.records.RecordCount, 0);
        EXPECT_EQ(w.lstRecords->count(), 0);
        EXPECT_EQ(w.lstSegments->count(), 0);
        EXPECT_EQ(w.lstFields->count(), 0);
        EXPECT_EQ(w.lblFile->text(), QString());
        EXPECT_EQ(w.lblPageOf->text(), QString());
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Quillon"));
        ExpectPageButtons({ false, false, false, false });
    }
};

// ---------------------------------------------------------------------------------------------
// Page 1 after a load, over file sizes around the 400-record page.

struct LoadCase {
    int records;
    QString pageOf;
    bool next; // next and last page buttons
};

class LoadPageOneTest : public MainWindowTest, public ::testing::WithParamInterface<LoadCase>
{
};

TEST_P(LoadPageOneTest, ShowsFirstPageOfTheFile)
{
    const LoadCase& c = GetParam();
    GeneratedFile g;
    const QString path = LoadGenerated(QStringLiteral("gen.hl7"), c.records, &g);

    EXPECT_TRUE(f.responder.shown().empty());
    EXPECT_EQ(StoredRecords(w.st.records), g.records);
    EXPECT_EQ(w.lstRecords->count(), std::min(c.records, 400));
    ExpectPageShown(g, 1);
    EXPECT_EQ(w.lblPageOf->text(), c.pageOf);
    EXPECT_EQ(w.lblFile->text(), QStringLiteral("Rec 1/%1").arg(c.records));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Quillon - ") + path);
    EXPECT_TRUE(w.lstRecords->isEnabled());
    ExpectPageButtons({ false, false, c.next, c.next });
    for (int b : { 3, 4, 9, 12, 13 })
        EXPECT_TRUE(w.tbarButtons[static_cast<size_t>(b)]->isEnabled()) << "button " << b;
}

INSTANTIATE_TEST_SUITE_P(Sizes, LoadPageOneTest,
    ::testing::Values(LoadCase { 1, QStringLiteral("Pg 1/1"), false },
        LoadCase { 25, QStringLiteral("Pg 1/1"), false },
        LoadCase { 400, QStringLiteral("Pg 1/1"), false },
        LoadCase { 401, QStringLiteral("Pg 1/2"), true },
        LoadCase { 900, QStringLiteral("Pg 1/3"), true }),
    [](const auto& info) { return std::to_string(info.param.records); });

TEST_F(MainWindowTest, NextPageOfFourHundredAndOneShowsTheLastRecordAlone)
{
    GeneratedFile g;
    LoadGenerated(QStringLiteral("gen.hl7"), 401, &g);
    w.cmdNextPage_Click();
    EXPECT_EQ(w.lstRecords->count(), 1);
    ExpectPageShown(g, 2);
    EXPECT_EQ(w.lblPageOf->text(), QStringLiteral("Pg 2/2"));
    ExpectPageButtons({ true, true, false, false });
}

struct AskPageCase {
    int records;
    int32_t asked;
    int32_t shown;
    int rows;
};

class DisplayPageRangeTest : public MainWindowTest,
                             public ::testing::WithParamInterface<AskPageCase>
{
};

TEST_P(DisplayPageRangeTest, OutOfRangePageIsCorrectedForTheCaller)
{
    const AskPageCase& c = GetParam();
    GeneratedFile g;
    LoadGenerated(QStringLiteral("gen.hl7"), c.records, &g);
    int32_t page = c.asked;
    w.DisplayPage(page);
    EXPECT_EQ(page, c.shown);
    EXPECT_EQ(w.CurrentPage, c.shown);
    const int pages = (c.records + 399) / 400;
    EXPECT_EQ(w.lblPageOf->text(), QStringLiteral("Pg %1/%2").arg(c.shown).arg(pages));
    const auto first = g.records.begin() + (c.shown - 1) * 400;
    EXPECT_EQ(Rows(w.lstRecords), Latin1List(std::vector<std::string>(first, first + c.rows)));
    ExpectPageButtons({ c.shown > 1, c.shown > 1, c.shown < pages, c.shown < pages });
}

INSTANTIATE_TEST_SUITE_P(Pages, DisplayPageRangeTest,
    ::testing::Values(AskPageCase { 900, 5, 3, 100 }, AskPageCase { 900, 3, 3, 100 },
        AskPageCase { 900, 2, 2, 400 }, AskPageCase { 900, 0, 1, 400 },
        AskPageCase { 900, -2, 1, 400 }, AskPageCase { 400, 2, 1, 400 },
        AskPageCase { 401, 2, 2, 1 }));

// ---------------------------------------------------------------------------------------------
// The page buttons.

TEST_F(MainWindowTest, PageButtonsMoveBetweenPagesAndSelectTheFirstRecord)
{
    GeneratedFile g;
    LoadGenerated(QStringLiteral("gen.hl7"), 900, &g);
    // Several records selected on page 1: a page change leaves only row 0 selected.
    w.lstRecords->item(2)->setSelected(true);
    w.lstRecords->item(5)->setSelected(true);

    const struct {
        QPushButton* button;
        int page;
        PageButtons after;
    } steps[] = {
        { w.cmdNextPage, 2, { true, true, true, true } },
        { w.cmdNextPage, 3, { true, true, false, false } },
        { w.cmdPrevPage, 2, { true, true, true, true } },
        { w.cmdFirstPage, 1, { false, false, true, true } },
        { w.cmdLastPage, 3, { true, true, false, false } },
        { w.cmdFirstPage, 1, { false, false, true, true } },
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.button->objectName().toStdString() + " to page " + std::to_string(s.page));
        ASSERT_TRUE(s.button->isEnabled());
        s.button->click();
        ExpectPageShown(g, s.page);
        ExpectPageButtons(s.after);
        // Any row of the page shows its own record's segments.
        const int row = w.lstRecords->count() - 1;
        w.lstRecords->setCurrentRow(row);
        QCoreApplication::processEvents();  // a selection is shown once the event settles
        EXPECT_EQ(w.CurrentRecordIndex, row);
        EXPECT_EQ(Rows(w.lstSegments),
            Latin1List(g.segments[static_cast<size_t>((s.page - 1) * 400 + row)]));
    }
}

TEST_F(MainWindowTest, DisabledPageCommandsDoNothingAtTheEnds)
{
    GeneratedFile g;
    LoadGenerated(QStringLiteral("gen.hl7"), 401, &g);
    w.lstRecords->setCurrentRow(0);
    w.cmdFirstPage_Click();
    w.cmdPrevPage_Click();
    ExpectPageShown(g, 1);
    w.cmdLastPage_Click();
    w.cmdNextPage_Click();
    w.cmdLastPage_Click();
    ExpectPageShown(g, 2);
}

// ---------------------------------------------------------------------------------------------
// DisplayPage on its own.

TEST_F(MainWindowTest, DisplayPageWithNoRecordsEmptiesListsAndLabelsAndDisablesCommands)
{
    LoadGenerated(QStringLiteral("gen.hl7"), 3);
    ASSERT_GT(w.lstSegments->count(), 0);
    w.lstFields->addItem(QStringLiteral("a field"));
    w.stsPanels[5]->setText(QStringLiteral("panel"));

    w.st.records.RecordCount = 0;
    w.DisplayPage(w.CurrentPage);
    EXPECT_EQ(w.lstRecords->count(), 0);
    EXPECT_EQ(w.lstSegments->count(), 0);
    EXPECT_EQ(w.lstFields->count(), 0);
    EXPECT_EQ(w.lblPageOf->text(), QString());
    EXPECT_EQ(w.lblFile->text(), QString());
    EXPECT_EQ(w.stsPanels[5]->text(), QString());
    for (int b : { 3, 4, 9, 12, 13, 15, 16 })
        EXPECT_FALSE(w.tbarButtons[static_cast<size_t>(b)]->isEnabled()) << "button " << b;
}

struct DeleteLastCase {
    int records;
    int pageBefore;
    int pageAfter;
    int rowsAfter;
};

class DeleteOnlyRecordOfLastPageTest : public MainWindowTest,
                                       public ::testing::WithParamInterface<DeleteLastCase>
{
};

TEST_P(DeleteOnlyRecordOfLastPageTest, ShowsThePageBefore)
{
    const DeleteLastCase& c = GetParam();
    GeneratedFile g;
    LoadGenerated(QStringLiteral("gen.hl7"), c.records, &g);
    w.cmdLastPage_Click();
    ASSERT_EQ(w.CurrentPage, c.pageBefore);
    ASSERT_EQ(w.lstRecords->count(), 1);

    w.st.records.RecordCount -= 1;
    w.DisplayPage(w.CurrentPage);
    EXPECT_EQ(w.CurrentPage, c.pageAfter);
    EXPECT_EQ(w.lstRecords->count(), c.rowsAfter);
    EXPECT_EQ(w.lblPageOf->text(), QStringLiteral("Pg %1/%1").arg(c.pageAfter));
    EXPECT_EQ(w.lstRecords->item(0)->text(),
        frmMain::DisplayText(g.records[static_cast<size_t>((c.pageAfter - 1) * 400)]));
    ExpectPageButtons({ c.pageAfter > 1, c.pageAfter > 1, false, false });
}

INSTANTIATE_TEST_SUITE_P(Sizes, DeleteOnlyRecordOfLastPageTest,
    ::testing::Values(DeleteLastCase { 401, 2, 1, 400 }, DeleteLastCase { 801, 3, 2, 400 }));

// ---------------------------------------------------------------------------------------------
// Caption and bytes.

TEST_F(MainWindowTest, FtpDownloadFileLeavesTheCaptionAsItWas)
{
    const GeneratedFile g = MakeHL7(2);
    const QString ftp = f.WriteFile(QStringLiteral("ftp.dat"), g.bytes);
    Load(ftp);
    EXPECT_EQ(w.st.records.RecordCount, 2);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Quillon"));

    const QString named = LoadGenerated(QStringLiteral("named.hl7"), 1);
    ASSERT_EQ(w.windowTitle(), QStringLiteral("Quillon - ") + named);
    Load(ftp);
    EXPECT_EQ(w.st.records.RecordCount, 2);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Quillon - ") + named);
}

TEST_F(MainWindowTest, HighBytesInSegmentsLoadUnchanged)
{
    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c)
        high.push_back(static_cast<char>(c));
    const std::string bytes = "MSH|^~\\&|S\xE9ND|F\xC4"
                              "C||||||ADT^A01|1|P|2.4\r\n"
                              "PID|1||1||"
        + high + "^N\xD6\xFF\r\n";
    const QString path = f.WriteFile(QStringLiteral("high.hl7"), bytes);
    Load(path);

    const std::string expected = "MSH|^~\\&|S\xE9ND|F\xC4"
                                 "C||||||ADT^A01|1|P|2.4\r"
                                 "PID|1||1||"
        + high + "^N\xD6\xFF\r";
    ASSERT_EQ(w.st.records.RecordCount, 1);
    EXPECT_EQ(w.st.records.Record(1), expected);
    // One character a byte in the list, with the byte's code.
    ASSERT_EQ(w.lstRecords->count(), 1);
    const QString row = w.lstRecords->item(0)->text();
    ASSERT_EQ(row.size(), static_cast<qsizetype>(expected.size()));
    for (qsizetype i = 0; i < row.size(); ++i)
        EXPECT_EQ(row.at(i).unicode(), static_cast<unsigned char>(expected[static_cast<size_t>(i)]))
            << "at " << i;
    ASSERT_EQ(w.lstSegments->count(), 2);
    EXPECT_TRUE(w.lstSegments->item(1)->text().contains(frmMain::DisplayText(high)));
    EXPECT_EQ(ReadBytes(path), bytes);
}

// Every kind of load leaves the user's file as it was, whatever it holds (EOF characters and
// PASSITON lines the salvage pass drops, lines broken by lone LFs, high bytes, NUL).
struct UntouchedCase {
    const char* name;
    std::vector<MsgAnswer> answers;
    QString editor;
};

class LoadLeavesFileUntouchedTest : public MainWindowTest,
                                    public ::testing::WithParamInterface<UntouchedCase>
{
};

TEST_P(LoadLeavesFileUntouchedTest, FileIsByteIdenticalAfterwards)
{
    const UntouchedCase& c = GetParam();
    static const char raw[] = "garbage \x1A\xFF\x80 line\r\n"
                              "PASSITON header\r"
                              "junk MSH|^~\\&|A\xE4|B||||||ADT^A01|1|P|2.4\r"
                              "PID|1\n||x\x1A\r\n"
                              "\x7F\x01MSH:;~\\&:C:D\r"
                              "NUL\0byte|here\r\x1A";
    const std::string bytes(raw, sizeof raw - 1);
    const QString path = f.WriteFile(QStringLiteral("mixed file.txt"), bytes);
    w.st.session.TextEditorForViewer = c.editor;
    for (MsgAnswer a : c.answers)
        f.responder.QueueAnswer(a);
    Load(path);
    EXPECT_TRUE(f.responder.allAnswersUsed());
    EXPECT_EQ(ReadBytes(path), bytes);
}

INSTANTIATE_TEST_SUITE_P(Answers, LoadLeavesFileUntouchedTest,
    ::testing::Values(UntouchedCase { "Salvage", { MsgAnswer::Yes }, {} },
        UntouchedCase { "DeclineBoth", { MsgAnswer::No, MsgAnswer::No }, {} },
        UntouchedCase { "DesktopViewer", { MsgAnswer::No, MsgAnswer::Yes }, {} },
        UntouchedCase { "Editor", { MsgAnswer::No, MsgAnswer::Yes }, QStringLiteral("myeditor") }),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Files that cannot be read: one box, and the records on screen stay.

struct ScreenSnapshot {
    std::vector<std::string> records;
    QStringList rows, segments;
    QString caption, pageOf, file;
    int currentPage;

    static ScreenSnapshot Of(const frmMain& w)
    {
        return { StoredRecords(w.st.records), Rows(w.lstRecords), Rows(w.lstSegments),
            w.windowTitle(), w.lblPageOf->text(), w.lblFile->text(), w.CurrentPage };
    }
    bool operator==(const ScreenSnapshot&) const = default;
};

struct ReadErrorCase {
    const char* name;
    QString (*makePath)(const MainWindowFixture&);
    QString title;
    QString text; // %1 is the path; the box text starts with this
    bool exact;
};

class LoadErrorTest : public MainWindowTest, public ::testing::WithParamInterface<ReadErrorCase>
{
};

TEST_P(LoadErrorTest, ShowsOneBoxAndKeepsTheLoadedRecords)
{
    const ReadErrorCase& c = GetParam();
    LoadGenerated(QStringLiteral("good.hl7"), 450);
    w.cmdNextPage_Click();
    const ScreenSnapshot before = ScreenSnapshot::Of(w);

    const QString path = c.makePath(f);
    Load(path);

    ASSERT_EQ(f.responder.shown().size(), 1u);
    const auto& box = f.responder.shown().front();
    EXPECT_EQ(box.title, c.title);
    const QString text = c.text.arg(path);
    if (c.exact)
        EXPECT_EQ(box.text, text);
    else
        EXPECT_TRUE(box.text.startsWith(text)) << box.text.toStdString();
    EXPECT_EQ(box.icon, MsgIcon::Exclamation);
    EXPECT_EQ(box.buttons, MsgButtons::OKOnly);
    EXPECT_TRUE(ScreenSnapshot::Of(w) == before);
    EXPECT_TRUE(w.lstRecords->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Kinds, LoadErrorTest,
    ::testing::Values(
        ReadErrorCase { "MissingFile",
            [](const MainWindowFixture& fx) { return fx.home.filePath("absent.hl7"); },
            QStringLiteral("File Not Found"), QStringLiteral("The file '%1' does not exist."),
            true },
        ReadErrorCase { "MissingFolder",
            [](const MainWindowFixture& fx) { return fx.home.filePath("no folder/absent.hl7"); },
            QStringLiteral("Directory Not Found"),
            QStringLiteral("The directory that the file '%1' should be in does not "
                           "exist. Please check it and try again."),
            true },
        ReadErrorCase { "Folder",
            [](const MainWindowFixture& fx) { return fx.state.folders.DataFolder; },
            QStringLiteral("Can't Read File"), QStringLiteral("The file '%1' cannot be read"),
            false }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, UnreadableFileShowsCantReadFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: file permissions do not stop reading";
    LoadGenerated(QStringLiteral("good.hl7"), 5);
    const ScreenSnapshot before = ScreenSnapshot::Of(w);
    const QString path = f.WriteFile(QStringLiteral("locked.hl7"), MakeHL7(1).bytes);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    Load(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ASSERT_EQ(f.responder.shown().size(), 1u);
    EXPECT_EQ(f.responder.shown().front().title, QStringLiteral("Can't Read File"));
    EXPECT_EQ(f.responder.shown().front().icon, MsgIcon::Exclamation);
    EXPECT_TRUE(ScreenSnapshot::Of(w) == before);
}

// ---------------------------------------------------------------------------------------------
// Files that are not HL7.

const QString kNonHL7Question = QStringLiteral(
    "The file that you are trying to load contains non-HL7 information.\r\n\r\nDo you want to "
    "try to load any HL7 records that can be found in the file?");
const QString kViewerOfferStart = QStringLiteral(
    "The file that you are trying to load does not appear to contain HL7 records.\r\n\r\nWould "
    "you like to try loading it into ");

TEST_F(MainWindowTest, NonHL7FileSalvagesTheHeadersFoundInside)
{
    const std::string bytes = "This is a covering letter, not HL7\r\n"
                              "MSH|^~\\&|A|B||||||ADT^A01|1|P|2.4\r"
                              "PID|1||11\r"
                              "-- forwarded -- MSH|^~\\&|C|D||||||ADT^A08|2|P|2.4\r"
                              "PID|2||22\r\n";
    const QString path = f.WriteFile(QStringLiteral("letter.txt"), bytes);
    f.responder.QueueAnswer(MsgAnswer::Yes);
    Load(path);

    ASSERT_EQ(f.responder.shown().size(), 1u);
    const auto& box = f.responder.shown().front();
    EXPECT_EQ(box.title, QStringLiteral("Attempt to Load Non-HL7 File"));
    EXPECT_EQ(box.text, kNonHL7Question);
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.icon, MsgIcon::Exclamation);

    const std::vector<std::string> expected = {
        "MSH|^~\\&|A|B||||||ADT^A01|1|P|2.4\rPID|1||11\r",
        "MSH|^~\\&|C|D||||||ADT^A08|2|P|2.4\rPID|2||22\r",
    };
    EXPECT_EQ(StoredRecords(w.st.records), expected);
    EXPECT_EQ(Rows(w.lstRecords), Latin1List(expected));
    EXPECT_EQ(
        Rows(w.lstSegments), (QStringList { "MSH|^~\\&|A|B||||||ADT^A01|1|P|2.4", "PID|1||11" }));
    EXPECT_EQ(w.lblFile->text(), QStringLiteral("Rec 1/2"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Quillon - ") + path);
    EXPECT_TRUE(f.desktop.opened.empty());
    EXPECT_TRUE(f.desktop.started.empty());
    EXPECT_EQ(ReadBytes(path), bytes);
}

struct ViewerCase {
    const char* name;
    QString editor;
    MsgAnswer viewerAnswer;
    bool openSucceeds;
    bool startSucceeds;
    bool expectOpen;
    bool expectStart;
    QString errorStart; // empty: no third box
};

class ViewerOfferTest : public MainWindowTest, public ::testing::WithParamInterface<ViewerCase>
{
};

TEST_P(ViewerOfferTest, DeclinedSalvageOffersAViewerAndLoadsNothing)
{
    const ViewerCase& c = GetParam();
    LoadGenerated(QStringLiteral("good.hl7"), 3);
    ASSERT_EQ(w.st.records.RecordCount, 3);

    // Blanks and shell characters: the path must reach the viewer as one argument.
    const std::string bytes = "Dear colleague; please see $(attached) `notes` & 'more'\r\n";
    const QString path = f.WriteFile(QStringLiteral("my notes; $(x) `y` & 'q' \"z\".txt"), bytes);
    w.st.session.TextEditorForViewer = c.editor;
    f.desktop.openSucceeds = c.openSucceeds;
    f.desktop.startSucceeds = c.startSucceeds;
    f.responder.QueueAnswer(MsgAnswer::No);
    f.responder.QueueAnswer(c.viewerAnswer);
    Load(path);

    const auto& shown = f.responder.shown();
    ASSERT_EQ(shown.size(), c.errorStart.isEmpty() ? 2u : 3u);
    EXPECT_EQ(shown[0].text, kNonHL7Question);
    EXPECT_EQ(shown[1].title, QStringLiteral("Attempt to Load Non-HL7 File"));
    EXPECT_EQ(shown[1].text,
        kViewerOfferStart
            + (c.editor.isEmpty() ? QStringLiteral("an appropriate viewer?") : c.editor));
    EXPECT_EQ(shown[1].buttons, MsgButtons::YesNo);
    EXPECT_EQ(shown[1].icon, MsgIcon::Exclamation);
    if (!c.errorStart.isEmpty()) {
        EXPECT_EQ(shown[2].title, QStringLiteral("Can't Find Viewer"));
        EXPECT_TRUE(shown[2].text.startsWith(c.errorStart)) << shown[2].text.toStdString();
        EXPECT_EQ(shown[2].icon, MsgIcon::Exclamation);
    }

    if (c.expectOpen) {
        ASSERT_EQ(f.desktop.opened.size(), 1u);
        EXPECT_EQ(f.desktop.opened[0], (QStringList { QStringLiteral("Open"), path }));
    } else {
        EXPECT_TRUE(f.desktop.opened.empty());
    }
    if (c.expectStart) {
        ASSERT_EQ(f.desktop.started.size(), 1u);
        EXPECT_EQ(f.desktop.started[0], (QStringList { c.editor, path }));
    } else {
        EXPECT_TRUE(f.desktop.started.empty());
    }
    ExpectNothingLoaded();
    EXPECT_EQ(ReadBytes(path), bytes);
}

INSTANTIATE_TEST_SUITE_P(Cases, ViewerOfferTest,
    ::testing::Values(ViewerCase { "NoViewer", {}, MsgAnswer::No, true, true, false, false, {} },
        ViewerCase { "NoViewerWithEditor", QStringLiteral("myeditor"), MsgAnswer::No, true, true,
            false, false, {} },
        ViewerCase { "DesktopOpens", {}, MsgAnswer::Yes, true, true, true, false, {} },
        ViewerCase { "DesktopFails", {}, MsgAnswer::Yes, false, true, true, false,
            QStringLiteral("No program could be started") },
        ViewerCase { "EditorStarts", QStringLiteral("myeditor"), MsgAnswer::Yes, true, true, false,
            true, {} },
        ViewerCase { "EditorFails", QStringLiteral("myeditor"), MsgAnswer::Yes, true, false, false,
            true, QStringLiteral("Unable to launch the viewer myeditor.") }),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// A non-HL7 file FTP Get delivered: declining both questions removes FTP Get's own working
// copy and runs FTP Get again; a file anywhere else is never removed.

struct FtpGetCase {
    const char* name;
    QString caption;
    // Writes the file and answers the path handed to the load.
    QString (*makePath)(const MainWindowFixture&);
    MsgAnswer viewerAnswer;
    bool removed;
    int ftpGetRuns; // -1: not checked
    bool ftpGetLoading = true; // false: another load while the FTP window is loaded
};

QString WriteNonHL7(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    WriteBytes(path, "<html>not a message</html>\r\n");
    return path;
}

class FtpGetDeclineTest : public MainWindowTest, public ::testing::WithParamInterface<FtpGetCase>
{
};

TEST_P(FtpGetDeclineTest, RemovesOnlyAWorkingCopy)
{
    const FtpGetCase& c = GetParam();
    w.st.ftp.FtpWindowCaption = c.caption;
    w.FtpGetLoading = c.ftpGetLoading;
    int runs = 0;
    w.FtpGetCommand = [&runs] { ++runs; };
    const QString path = c.makePath(f);
    const QString real = QFileInfo(path).canonicalFilePath();
    ASSERT_FALSE(real.isEmpty());
    f.responder.QueueAnswer(MsgAnswer::No);
    f.responder.QueueAnswer(c.viewerAnswer);
    Load(path);

    EXPECT_EQ(f.responder.shown().size(), 2u);
    EXPECT_EQ(QFileInfo::exists(real), !c.removed) << real.toStdString();
    if (c.ftpGetRuns >= 0) {
        EXPECT_EQ(runs, c.ftpGetRuns);
    }
    ExpectNothingLoaded();
}

INSTANTIATE_TEST_SUITE_P(Places, FtpGetDeclineTest,
    ::testing::Values(FtpGetCase { "Files2Load", QStringLiteral("FTP Get"),
                          [](const MainWindowFixture& fx) {
                              return WriteNonHL7(fx.state.folders.Files2LoadFolder + "got.txt");
                          },
                          MsgAnswer::No, true, 1 },
        FtpGetCase { "FtpFolder", QStringLiteral("FTP Get - host"),
            [](const MainWindowFixture& fx) {
                return WriteNonHL7(fx.state.folders.FTPFolder + "got.txt");
            },
            MsgAnswer::No, true, 1 },
        FtpGetCase { "Outside", QStringLiteral("FTP Get"),
            [](const MainWindowFixture& fx) { return WriteNonHL7(fx.home.filePath("mine.txt")); },
            MsgAnswer::No, false, -1 },
        FtpGetCase { "OutsideThroughDotDot", QStringLiteral("FTP Get"),
            [](const MainWindowFixture& fx) {
                WriteNonHL7(fx.state.folders.DataRoot + "mine.txt");
                return fx.state.folders.Files2LoadFolder + "../mine.txt";
            },
            MsgAnswer::No, false, -1 },
        FtpGetCase { "NoFtpWindow", QString(),
            [](const MainWindowFixture& fx) {
                return WriteNonHL7(fx.state.folders.Files2LoadFolder + "got.txt");
            },
            MsgAnswer::No, false, 0 },
        FtpGetCase { "LaterFileOpen", QStringLiteral("FTP Get - host"),
            [](const MainWindowFixture& fx) {
                return WriteNonHL7(fx.state.folders.Files2LoadFolder + "got.txt");
            },
            MsgAnswer::No, false, 0, false },
        FtpGetCase { "ViewerChosen", QStringLiteral("FTP Get"),
            [](const MainWindowFixture& fx) {
                return WriteNonHL7(fx.state.folders.Files2LoadFolder + "got.txt");
            },
            MsgAnswer::Yes, false, 0 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, FtpGetDeclineKeepsAFileReachedThroughALinkedFolder)
{
    WriteNonHL7(f.home.filePath(QStringLiteral("elsewhere/mine.txt")));
    ASSERT_TRUE(QFile::link(f.home.filePath(QStringLiteral("elsewhere")),
        w.st.folders.Files2LoadFolder + QStringLiteral("linked")));
    w.st.ftp.FtpWindowCaption = QStringLiteral("FTP Get");
    w.FtpGetLoading = true;
    w.FtpGetCommand = [] {};
    f.responder.QueueAnswer(MsgAnswer::No);
    f.responder.QueueAnswer(MsgAnswer::No);
    Load(w.st.folders.Files2LoadFolder + QStringLiteral("linked/mine.txt"));
    EXPECT_TRUE(QFileInfo::exists(f.home.filePath(QStringLiteral("elsewhere/mine.txt"))));
}

// ---------------------------------------------------------------------------------------------
// Window bookkeeping.

TEST_F(MainWindowTest, IsFormLoadedCountsOnlyShownWindows)
{
    EXPECT_EQ(IsFormLoaded(&w), 0);
    EXPECT_EQ(IsFormLoaded(nullptr), 0);
    w.show();
    EXPECT_GT(IsFormLoaded(&w), 0);
    MainWindowFixture other;
    EXPECT_EQ(IsFormLoaded(other.window.get()), 0);
    w.hide();
}

TEST(ProgressIndicator, LoadingClearsTheFlagAndCancelSetsIt)
{
    bool cancelled = true;
    {
        frmProgressIndicator progress(cancelled);
        EXPECT_FALSE(cancelled);
        EXPECT_EQ(progress.windowTitle(), QStringLiteral("Progress Indicator"));
        EXPECT_TRUE(progress.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        progress.cmdCancel->click();
        EXPECT_TRUE(cancelled);
        progress.cmdCancel_Click();
        EXPECT_TRUE(cancelled);
    }
    EXPECT_TRUE(cancelled);
    frmProgressIndicator again(cancelled);
    EXPECT_FALSE(cancelled);
}

// A file where the data root's folder should be: start-up says so first, and the steps that
// need the folders say nothing of the files they cannot hold.
TEST(StartUp, AnUnusableDataRootIsToldFirstAndAlone)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir().mkpath(home.filePath("Marrowby")));
    WriteBytes(home.filePath("Marrowby/quillon"), "x\n");
    AppState state;
    InitDataFolders(state.folders, home.path(), QStringLiteral("quillon"));
    platform::ScriptedResponder responder;
    FakeDesktop desktop;
    frmMain window(state, responder, desktop);
    window.Form_Load();
    QStringList titles;
    for (const auto& box : responder.shown())
        titles << box.title + ": " + box.text.section(QLatin1Char('\r'), 0, 1);
    ASSERT_EQ(titles.join("\n").toStdString(),
              ("Data Folders: These data folders could not be created:\r\n" + state.folders.DataRoot)
                  .toStdString());
}

} // namespace
} // namespace quillon::test
