// Report export: the separator's escapes, the delimited and fixed-width bytes, the column-format
// lines, and the export window with its settings, Save Change and failures.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include "TestSupport.h"
#include "app/Settings.h"
#include "platform/SettingsStore.h"
#include "records/Dictionary.h"
#include "reports/ReportExport.h"
#include "reports/frmExportReport.h"
#include "reports/frmReport.h"

void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace quillon::test {
namespace {

using platform::MsgAnswer;

DescriptionDictionary Dictionary()
{
    DescriptionDictionary d;
    d.DescriptionKeys = {"OBX-5", "PID-5"};
    d.Descriptions = {"Observation Value", "Patient Name, Last^First"};
    return d;
}

ExportTable Table(std::vector<std::string> headings, std::vector<std::vector<std::string>> rows,
                  std::vector<char> selected = {})
{
    ExportTable t;
    t.headings = std::move(headings);
    for (size_t r = 0; r < rows.size(); ++r)
        t.AddRow(rows[r], r < selected.size() && selected[r] != 0);
    return t;
}

// Two rows of the usual kind: a name with its components beside a number, and a value holding
// the comma that separates exported columns beside an empty one.
ExportTable Example()
{
    return Table({"PID-5", "OBX-5"}, {{"SMITH^JOHN", "120"}, {"O,BRIEN", ""}});
}

// Values that need care: the separator, a quote, a CR, and Latin-1 letters as single bytes.
ExportTable Awkward()
{
    return Table({"PID-5", "OBX-5", "NTE-3"},
                 {{"O,BRIEN", "say \"hi\"", "line\rbreak"},
                  {"Ren\xe9", "M\xfcller", ""}},
                 {0, 1});
}

TEST(ExportCore, SeparatorTextsAndEscapes)
{
    const struct {
        std::string text;
        std::optional<char> separator;
    } cases[] = {
        {",", ','},      {" ", ' '},      {"^", '^'},      {"\\", '\\'},
        {"^a", '\a'},    {"\\a", '\a'},   {"^b", '\b'},    {"\\b", '\b'},
        {"^t", '\t'},    {"\\t", '\t'},   {"^f", '\f'},    {"\\f", '\f'},
        {"^n", '\v'},    {"\\n", '\v'},   {"^r", '\r'},    {"\\r", '\r'},
        {"^N", {}},      {"\\T", {}},     {"ab", {}},      {"", {}},
        {"^x", {}},      {"^n ", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveSeparator(c.text), c.separator) << c.text;
}

TEST(ExportCore, DelimitedBytes)
{
    const DescriptionDictionary dict = Dictionary();
    ExportOptions base;
    base.kind = ExportKind::Delimited;
    base.order = {0, 1, 2};
    base.useDescriptions = false;
    auto with = [&](auto change) {
        ExportOptions o = base;
        change(o);
        return o;
    };
    const struct {
        const char* name;
        ExportTable table;
        ExportOptions options;
        std::string bytes;
    } cases[] = {
        {"first example", Example(), with([](ExportOptions& o) { o.order = {0, 1}; }),
         "PID-5,OBX-5\r\nSMITH^JOHN,120\r\n\"O,BRIEN\",\r\n"},
        {"nothing escaped, Latin-1 bytes", Awkward(), base,
         "PID-5,OBX-5,NTE-3\r\n\"O,BRIEN\",say \"hi\",line\rbreak\r\nRen\xe9,M\xfcller,\r\n"},
        {"all quoted, descriptions", Awkward(),
         with([](ExportOptions& o) { o.quotes = QuoteMode::All; o.useDescriptions = true; }),
         "\"Patient Name, Last^First\",\"Observation Value\",\"\"\r\n"
         "\"O,BRIEN\",\"say \"hi\"\",\"line\rbreak\"\r\n\"Ren\xe9\",\"M\xfcller\",\"\"\r\n"},
        // The quote test reads the heading, not the description that is written.
        {"description holding the separator", Example(),
         with([](ExportOptions& o) { o.order = {1, 0}; o.useDescriptions = true; o.quotes = QuoteMode::WithSeparator; }),
         "Observation Value,Patient Name, Last^First\r\n120,SMITH^JOHN\r\n,\"O,BRIEN\"\r\n"},
        {"no quotes, displayed order, vertical tab", Awkward(),
         with([](ExportOptions& o) { o.order = {2, 0, 1}; o.quotes = QuoteMode::None; o.separator = '\v'; }),
         "NTE-3\vPID-5\vOBX-5\r\nline\rbreak\vO,BRIEN\vsay \"hi\"\r\n\vRen\xe9\vM\xfcller\r\n"},
        {"selected rows only", Awkward(),
         with([](ExportOptions& o) { o.selectedOnly = true; o.columnHeader = false; }),
         "Ren\xe9,M\xfcller,\r\n"},
        {"nothing selected, no heading", Example(),
         with([](ExportOptions& o) { o.order = {0, 1}; o.selectedOnly = true; o.columnHeader = false; }), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExportBytes(c.table, c.options, &dict), c.bytes) << c.name;
}

TEST(ExportCore, FixedWidthBytes)
{
    ExportOptions example;
    example.kind = ExportKind::FixedWidth;
    example.order = {0, 1};
    example.formats = {{12, true, false}, {6, false, true}};
    EXPECT_EQ(ExportBytes(Example(), example, nullptr),
              "PID-5       OBX-5 \r\nSMITH^JOHN  000120\r\nO,BRIEN     000000\r\n");

    const struct {
        std::string value;
        ColumnFormat format;
        std::string bytes;
    } cells[] = {
        {"12345", {3, false, false}, "345"}, {"12345", {3, true, false}, "123"},
        {"7", {3, false, true}, "007"},      {"7", {3, false, false}, "  7"},
        {"7", {3, true, true}, "7  "},       {"", {2, false, true}, "00"},
        {"\xe9", {2, true, false}, "\xe9 "}, {"abc", {0, false, false}, ""},
    };
    for (const auto& c : cells) {
        std::string out;
        AppendFixed(out, c.value, c.format);
        EXPECT_EQ(out, c.bytes) << c.value << " width " << c.format.width;
    }
    // The heading is cut or padded whatever the justification, never the description.
    ExportOptions narrow = example;
    narrow.order = {1, 0};
    narrow.formats = {{3, false, true}, {7, false, false}};
    narrow.useDescriptions = true;
    EXPECT_EQ(ExportBytes(Example(), narrow, nullptr),
              "OBXPID-5  \r\n120TH^JOHN\r\n000O,BRIEN\r\n");
}

TEST(ExportCore, ColumnFormatLinesAndDefaultWidths)
{
    const struct {
        ColumnFormat format;
        std::string heading, description, line;
    } cases[] = {
        {{12, true, false}, "PID-5", "Patient Name", "  12 L   PID-5 - Patient Name"},
        {{9999, false, true}, "OBX-5", "", "9999 R 0 OBX-5 - "},
        {{0, false, false}, "NTE-3", "a b", "   0 R   NTE-3 - a b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ColumnFormatLine(c.format, c.heading, c.description), c.line);
        const ColumnFormatEntry back = ReadColumnFormatLine(c.line);
        EXPECT_EQ(back.format, c.format) << c.line;
        EXPECT_EQ(back.heading, c.heading);
    }
    // Only "L" and "0" exactly count; anything else is right justified, no zero fill.
    EXPECT_EQ(ReadColumnFormatLine("  5 l o X").format, (ColumnFormat{5, false, false}));

    const ExportTable t = Table({"PID-5", "X", "OBX-5"},
                                {{"ab", std::string(12000, 'v'), ""}, {"abcdefg", "", ""}});
    EXPECT_EQ(DefaultWidths(t), (std::vector<int>{7, 9999, 5}));
}

// Python's csv module as a second reader: the cells it finds in `bytes`.
std::vector<std::vector<QString>> ReadCsv(const std::string& bytes, char separator)
{
    QProcess python;
    python.start("/usr/bin/python3",
                 {"-c",
                  "import csv,io,json,sys\n"
                  "text = io.TextIOWrapper(sys.stdin.buffer, encoding='latin-1', newline='')\n"
                  "rows = list(csv.reader(text, delimiter=sys.argv[1], quotechar='\"'))\n"
                  "print(json.dumps(rows))",
                  QString(QChar(separator))});
    python.write(bytes.data(), static_cast<qint64>(bytes.size()));
    python.closeWriteChannel();
    EXPECT_TRUE(python.waitForFinished(30000));
    std::vector<std::vector<QString>> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        rows.emplace_back();
        for (const QJsonValue& cell : row.toArray())
            rows.back().push_back(cell.toString());
    }
    return rows;
}

TEST(ExportCore, CsvReaderGetsTheCellsBack)
{
    const ExportTable t = Table({"PID-5", "OBX-5", "NTE-3"},
                                {{"O,BRIEN", "a;b", ""}, {"Ren\xe9", "M\xfcller", "x\ty"}});
    const struct {
        char separator;
        QuoteMode quotes;
    } cases[] = {{',', QuoteMode::WithSeparator}, {',', QuoteMode::All},
                 {';', QuoteMode::WithSeparator}, {'\t', QuoteMode::All}};
    std::vector<std::vector<QString>> expected{{"PID-5", "OBX-5", "NTE-3"}};
    for (size_t r = 0; r < t.RowCount(); ++r) {
        expected.emplace_back();
        for (size_t c = 0; c < t.ColumnCount(); ++c)
            expected.back().push_back(QString::fromLatin1(std::string(t.Cell(r, c)).c_str()));
    }
    for (const auto& c : cases) {
        ExportOptions o;
        o.order = {0, 1, 2};
        o.separator = c.separator;
        o.quotes = c.quotes;
        o.useDescriptions = false;
        EXPECT_EQ(ReadCsv(ExportBytes(t, o, nullptr), c.separator), expected)
            << int(c.separator) << " quotes " << int(c.quotes);
    }
}

// A report window with three columns and three rows over its own settings file.
class ExportWindow : public ::testing::Test {
protected:
    ExportWindow()
    {
        store.Open(dir.filePath("Quillon.settings"));
        report.lvReportList->setHeaderLabels({"PID-5", "OBX-5", "NTE-3"});
        const char* rows[][3] = {{"SMITH^JOHN", "120", "x"}, {"O,BRIEN", "", "long value"},
                                 {"Ren\xe9", "7", ""}};
        for (const auto& row : rows)
            report.lvReportList->addTopLevelItem(new QTreeWidgetItem(
                {QString::fromLatin1(row[0]), QString::fromLatin1(row[1]), QString::fromLatin1(row[2])}));
        report.dictionary = &dictionary;
        report.dialogs = &responder;
        report.settings = &store;
        report.mainWindow = &main;
        report.lastFileSavePath = dir.path() + "/";
    }
    QString Stored(const char* key) const { return store.Get(kSettingsApp, "ExportReports", key, "none"); }
    QStringList Lines(const frmExportReport& w) const
    {
        QStringList lines;
        for (int i = 0; i < w.lstFieldWidths->count(); ++i)
            lines << w.lstFieldWidths->item(i)->text();
        return lines;
    }

    QTemporaryDir dir;
    platform::SettingsStore store;
    platform::ScriptedResponder responder;
    DescriptionDictionary dictionary = Dictionary();
    QWidget main;
    frmReport report;
};

TEST_F(ExportWindow, DefaultsAndRememberedChoices)
{
    {
        frmExportReport w(report);
        EXPECT_EQ(w.windowTitle(), "Export Report");
        EXPECT_EQ(w.ssTabExport->currentIndex(), 0);
        EXPECT_EQ(w.ssTabExport->tabText(1), "Fixed Width");
        EXPECT_EQ(w.txtSeparator->text(), ",");
        EXPECT_FALSE(w.optAllQuotes->isChecked());
        EXPECT_TRUE(w.optDelimQuotes->isChecked());
        EXPECT_FALSE(w.optExportAll->isChecked());
        EXPECT_TRUE(w.optExportSelected->isChecked());
        EXPECT_TRUE(w.chkExportColumnHeader->isChecked());
        EXPECT_TRUE(w.chkUseFieldDescriptions->isChecked());
        EXPECT_EQ(Lines(w), QStringList({"  10 L   PID-5 - Patient Name, Last^First",
                                         "   5 L   OBX-5 - Observation Value", "  10 L   NTE-3 - "}));
        EXPECT_EQ(w.lblFieldName->text(), "PID-5");
        EXPECT_EQ(w.txtFieldWidth->text(), "10");
        EXPECT_FALSE(w.chkZeroFill->isEnabled());

        w.ssTabExport->setCurrentIndex(1);
        w.txtSeparator->setText("^t");
        w.optAllQuotes->setChecked(true);
        w.optExportAll->setChecked(true);
        w.chkExportColumnHeader->setChecked(false);
        w.chkUseFieldDescriptions->setChecked(false);
        w.show();
        w.close();  // the close box stores them as Cancel does
    }
    const std::vector<std::pair<const char*, QString>> stored = {
        {"ExportColumnHeader", "0"}, {"SeparatorText", "^t"}, {"QuoteAllFields", "True"},
        {"QuoteFieldsWithDelim", "False"}, {"ExportTab", "1"}, {"ExportAll", "True"},
        {"ExportSelected", "False"}};
    for (const auto& [key, value] : stored)
        EXPECT_EQ(Stored(key), value) << key;

    frmExportReport again(report);
    EXPECT_EQ(again.ssTabExport->currentIndex(), 1);
    EXPECT_EQ(again.txtSeparator->text(), "^t");
    EXPECT_TRUE(again.optAllQuotes->isChecked());
    EXPECT_TRUE(again.optExportAll->isChecked());
    EXPECT_FALSE(again.chkExportColumnHeader->isChecked());
    EXPECT_TRUE(again.chkUseFieldDescriptions->isChecked());
    again.cmdCancel->click();
    EXPECT_EQ(again.result(), QDialog::Rejected);
    EXPECT_EQ(Stored("ExportTab"), "1");
}

TEST_F(ExportWindow, SaveChangeRewritesTheLineAndExportUsesIt)
{
    frmExportReport w(report);
    const struct {
        int row;
        QString width;
        bool right, zero;
        std::optional<MsgAnswer> answer;
        QString message, line;
        bool headers;
    } steps[] = {
        {1, "6", true, true, {}, "", "   6 R 0 OBX-5 - Observation Value", true},
        {0, "10000", false, false, {}, "Field widths are limited to a maximum of 9,999 characters.",
         "  10 L   PID-5 - Patient Name, Last^First", true},
        {2, "2", false, false, MsgAnswer::No, "That width is shorter", "  10 L   NTE-3 - ", true},
        {2, " ", true, false, {}, "", "   5 R   NTE-3 - ", true},
        {0, "4", false, false, MsgAnswer::Yes, "That width is shorter", "   4 L   PID-5 - Patient Name, Last^First",
         false},
    };
    for (const auto& s : steps) {
        responder.Clear();
        w.lstFieldWidths->setCurrentRow(s.row);
        w.txtFieldWidth->setText(s.width);
        w.optLeftJustify[s.right ? 1 : 0]->click();
        EXPECT_EQ(w.chkZeroFill->isEnabled(), s.right);
        w.chkZeroFill->setChecked(s.zero);
        if (s.answer)
            responder.QueueAnswer(*s.answer);
        w.cmdSaveChange->click();
        ASSERT_EQ(responder.shown().size(), s.message.isEmpty() ? 0u : 1u) << qPrintable(s.width);
        if (!s.message.isEmpty()) {
            EXPECT_TRUE(responder.shown()[0].text.startsWith(s.message));
        }
        EXPECT_EQ(w.lstFieldWidths->item(s.row)->text(), s.line) << qPrintable(s.width);
        EXPECT_EQ(w.chkExportColumnHeader->isChecked(), s.headers);
    }
    EXPECT_TRUE(w.lstFieldWidths->selectedItems().isEmpty());

    const QString path = dir.filePath("fixed.txt");
    w.ssTabExport->setCurrentIndex(1);
    w.optExportAll->setChecked(true);
    responder.QueueFiles({path});
    w.cmdExport->click();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(ReadBytes(path), "SMIT000120    x\r\nO,BR000000value\r\nRen\xe9" "000007     \r\n");
}

TEST_F(ExportWindow, ExportFromTheReportFollowsDraggedColumnsAndSelection)
{
    report.lvReportList->header()->moveSection(2, 0);  // NTE-3, PID-5, OBX-5
    report.lvReportList->topLevelItem(1)->setSelected(true);
    report.lvReportList->topLevelItem(2)->setSelected(true);
    const QString path = dir.filePath("report.csv");
    responder.QueueFiles({path});
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<frmExportReport*>(QApplication::activeModalWidget());
        ASSERT_NE(w, nullptr);
        seen = true;
        w->txtSeparator->setText("^n");
        w->cmdExport->click();
        EXPECT_FALSE(w->isVisible());
        if (w->isVisible())
            w->reject();
    });
    report.mnuExport_Click();
    ASSERT_TRUE(seen);
    EXPECT_EQ(ReadBytes(path), "\vPatient Name, Last^First\vObservation Value\r\n"
                               "long value\vO,BRIEN\v\r\n\vRen\xe9\v" "7\r\n");
    ASSERT_EQ(responder.fileDialogs().size(), 1u);
    const platform::FileDialogRequest& request = responder.fileDialogs()[0];
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.title, "Export to Delimited File");
    EXPECT_EQ(request.folder, dir.path() + "/");
    EXPECT_EQ(request.patterns, QStringList({"All Files (*.*)", "Text Files (*.txt)",
                                             "Data Files (*.dat)", "HL7 Files (*.hl7)"}));
    EXPECT_EQ(report.lastFileSavePath, dir.path() + "/");
    EXPECT_EQ(main.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(Stored("SeparatorText"), "^n");
}

TEST_F(ExportWindow, FailuresSayWhyAndKeepWhatTheyMust)
{
    const QString existing = dir.filePath("old.txt");
    WriteBytes(existing, "old\r\n");
    const QString missingFolder = dir.filePath("no/such/folder/out.txt");
    const struct {
        const char* name;
        QString separator;
        QStringList files;
        QString title;   // of the message shown, empty for none
        bool staysOpen;
    } cases[] = {
        {"unknown separator", "ab", {existing}, "Unknown Character", true},
        {"empty separator", "", {existing}, "Unknown Character", true},
        {"folder missing", ",", {missingFolder}, "Export Failed", true},
        {"save dialog cancelled", ",", {}, "", false},
    };
    for (const auto& c : cases) {
        responder.Clear();
        frmExportReport w(report);
        w.ssTabExport->setCurrentIndex(1);  // the separator is checked for this kind too
        w.txtSeparator->setText(c.separator);
        w.show();
        responder.QueueFiles(c.files);
        w.cmdExport->click();
        EXPECT_EQ(w.isVisible(), c.staysOpen) << c.name;
        ASSERT_EQ(responder.shown().size(), c.title.isEmpty() ? 0u : 1u) << c.name;
        if (!c.title.isEmpty()) {
            EXPECT_EQ(responder.shown()[0].title, c.title) << c.name;
        }
        EXPECT_EQ(main.cursor().shape(), Qt::ArrowCursor) << c.name;
        w.reject();
    }
    EXPECT_EQ(ReadBytes(existing), "old\r\n");
    EXPECT_FALSE(QFile::exists(missingFolder));
    // The reason names the file and what went wrong.
    responder.Clear();
    frmExportReport w(report);
    responder.QueueFiles({missingFolder});
    w.cmdExport->click();
    ASSERT_EQ(responder.shown().size(), 1u);
    EXPECT_TRUE(responder.shown()[0].text.contains(missingFolder)) << qPrintable(responder.shown()[0].text);
    EXPECT_TRUE(responder.shown()[0].text.contains("No such file or directory", Qt::CaseInsensitive))
        << qPrintable(responder.shown()[0].text);

    // A write that runs out of space partway, over an existing file: the old file stays whole
    // and nothing is left beside it.
    const FullFolder full;
    if (!full.Ok())
        GTEST_SKIP() << full.Error().toStdString();
    const QString onFullDisk = full.FilePath("old.txt");
    WriteBytes(onFullDisk, "old\r\n");
    auto* bigRow = new QTreeWidgetItem({QString(100000, 'x'), "1", "2"});
    report.lvReportList->addTopLevelItem(bigRow);
    bigRow->setSelected(true);  // the window exports the selected rows
    responder.Clear();
    frmExportReport big(report);
    big.ssTabExport->setCurrentIndex(0);  // delimited: the value is written whole
    responder.QueueFiles({onFullDisk});
    big.cmdExport->click();
    ASSERT_EQ(responder.shown().size(), 1u);
    EXPECT_EQ(responder.shown()[0].title, "Export Failed");
    EXPECT_TRUE(responder.shown()[0].text.contains("No space left on device"))
        << qPrintable(responder.shown()[0].text);
    EXPECT_EQ(ReadBytes(onFullDisk), "old\r\n");
    EXPECT_EQ(QDir(full.FilePath(".")).entryList(QDir::Files | QDir::Hidden), QStringList{"old.txt"});
}

}  // namespace
}  // namespace quillon::test
