// Records in Latin-1 and in UTF-8 side by side: the text each shows, and find, replace, filter
// and assign value with a typed text, each record matched in its own encoding and no byte
// changed outside a match.
#include <gtest/gtest.h>

#include <QByteArrayView>
#include <QClipboard>
#include <QComboBox>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <functional>
#include <random>
#include <string>

#include "TestSupport.h"
#include "analysis/CharacterCodes.h"
#include "analysis/CompareRecords.h"
#include "analysis/UniqueValues.h"
#include "app/Utility.h"
#include "app/frmMain.h"
#include "editing/ChangeDelimiters.h"
#include "editing/FilterRecords.h"
#include "editing/FindDialog.h"
#include "editing/frmEditRecord.h"
#include "editing/frmFilterRecords.h"
#include "editing/FindRecords.h"
#include "editing/ReplaceRecords.h"
#include "editing/frmReplaceInRecordList.h"
#include "platform/SettingsStore.h"
#include "records/TextEncoding.h"
#include "reports/ListPrint.h"
#include "reports/ReportBuilder.h"
#include "reports/frmExportReport.h"
#include "reports/frmReport.h"
#include "reports/ReportExport.h"
#include "reports/ReportPrint.h"

namespace quillon {
namespace {

// An MSH segment whose MSH-18 is `charset`.
std::string Msh(const std::string& charset)
{
    return "MSH|^~\\&|A|B|C|D|20260101||ADT^A01|1|P|2.5||||||" + charset + "\r";
}

// The typed text as the dialogs hand it to the commands.
std::string Typed(const char* utf8) { return utf8; }

const std::string kLatin1 = Msh("") + "PID|1||M\xfcller^S\xe3o^J\xf6rg|Why?\r";
const std::string kUtf8Pid = "PID|1||M\xc3\xbcller^S\xc3\xa3o^\xe3\x81\x82|\xf0\x9f\x98\x80\r";
const std::string kDeclared = Msh("UNICODE UTF-8") + kUtf8Pid;
const std::string kDetected = Msh("") + kUtf8Pid;
const std::string kInvalid = Msh("UNICODE UTF-8") + "PID|1||M\xc3\xbcller^\xfc\xe3^S\xc3\xa3o\r";
const std::string kDeclaredLatin1 = Msh("8859/1") + "PID|1||M\xc3\xbcller\r";
// Where PID-3 starts.
size_t NameAt(const std::string& record) { return record.find("PID|1||") + 7; }

// The record with `n` bytes replaced, `at` bytes into PID-3.
std::string Replaced(std::string record, size_t at, size_t n, const std::string& with)
{
    return record.replace(NameAt(record) + at, n, with);
}

enum class Op { Display, Find, Replace, Filter, FilterByField, Assign };

TEST(RecordEncoding, EachRecordShownAndMatchedInItsOwnEncoding)
{
    struct Case {
        const char* what;
        std::string record;
        Op op;
        std::string text;         // typed: the find or filter text, or the value assigned
        std::string replacement;  // typed
        bool matchCase, wholeWord;
        std::string expected;  // UTF-8 text shown; offset found from PID-3 or
                               // "none"; bytes after; "kept" or "dropped"
    };
    const std::string none = "none";
    const std::string at = "0";
    const Case cases[] = {
        // What each record shows.
        {"Latin-1 shown", kLatin1, Op::Display, "", "", false, false,
         Msh("") + "PID|1||Müller^São^Jörg|Why?\r"},
        {"declared UTF-8 shown", kDeclared, Op::Display, "", "", false, false,
         Msh("UNICODE UTF-8") + "PID|1||Müller^São^あ|😀\r"},
        {"detected UTF-8 shown", kDetected, Op::Display, "", "", false, false,
         Msh("") + "PID|1||Müller^São^あ|😀\r"},
        {"invalid bytes shown as U+FFFD", kInvalid, Op::Display, "", "", false, false,
         Msh("UNICODE UTF-8") + "PID|1||Müller^\xef\xbf\xbd\xef\xbf\xbd^São\r"},
        {"MSH-18 naming Latin-1 outweighs valid UTF-8", kDeclaredLatin1, Op::Display, "", "",
         false, false, Msh("8859/1") + "PID|1||MÃ¼ller\r"},

        // Find, whole record.
        {"Latin-1, case folded", kLatin1, Op::Find, Typed("MÜLLER"), "", false, false, at},
        {"declared, case folded", kDeclared, Op::Find, Typed("MÜLLER"), "", false, false, at},
        {"detected, case folded", kDetected, Op::Find, Typed("mÜller"), "", false, false, at},
        {"invalid bytes, case folded", kInvalid, Op::Find, Typed("MÜLLER"), "", false, false, at},
        {"declared, match case", kDeclared, Op::Find, Typed("Müller"), "", true, false, at},
        {"declared, whole word", kDeclared, Op::Find, Typed("müller"), "", false, true, at},
        {"invalid bytes, whole word", kInvalid, Op::Find, Typed("MÜLLER"), "", false, true, at},
        {"a capital finds its small letter", kDetected, Op::Find, Typed("Ü"), "", false, false,
         "1"},
        {"never the lead byte of a longer character", kDeclared, Op::Find, Typed("ã"), "", true,
         false, "9"},
        {"a character no Latin-1 record holds", kLatin1, Op::Find, Typed("П"), "", false, false,
         none},
        {"three bytes found whole", kDetected, Op::Find, Typed("あ"), "", true, false,
         "13"},
        {"never an invalid byte", kInvalid, Op::Find, Typed("ü"), "", false, false,
         "1"},

        // Replace All, whole record.
        {"Latin-1 replaced in Latin-1", kLatin1, Op::Replace, Typed("müller"), Typed("Weiß"),
         false, false, Replaced(kLatin1, 0, 6, "Wei\xdf")},
        {"declared replaced in UTF-8", kDeclared, Op::Replace, Typed("MÜLLER"), Typed("Weiß"),
         false, false, Replaced(kDeclared, 0, 7, "Wei\xc3\x9f")},
        {"no lead byte replaced", kDetected, Op::Replace, Typed("ã"), Typed("a"), false, false,
         Replaced(kDetected, 9, 2, "a")},
        {"four bytes replaced whole", kDeclared, Op::Replace, Typed("😀"), Typed(":)"), true,
         false, Replaced(kDeclared, 17, 4, ":)")},
        {"MSH-18 UTF8 read as UTF-8", Msh("UTF8") + "PID|1||M\xc3\xbcller^S\xc3\xa3o\r", Op::Replace,
         Typed("ã"), Typed("a"), false, false, Msh("UTF8") + "PID|1||M\xc3\xbcller^Sao\r"},
        {"MSH-18 UTF8 outweighs a stray byte", Msh("UTF8") + "PID|1||M\xc3\xbcller^S\xc3\xa3o^\xfc\r",
         Op::Replace, Typed("ã"), Typed("a"), false, false,
         Msh("UTF8") + "PID|1||M\xc3\xbcller^Sao^\xfc\r"},
        {"invalid bytes left alone", kInvalid, Op::Replace, Typed("ü"), Typed("ue"), false, false,
         Replaced(kInvalid, 1, 2, "ue")},

        // Filter, keeping what matches.
        {"declared kept", kDeclared, Op::Filter, Typed("müller"), "", false, false, "kept"},
        {"Latin-1 without the character dropped", kLatin1, Op::Filter, Typed("П"), "", false,
         false, "dropped"},
        {"by this field, detected", kDetected, Op::FilterByField, Typed("São"), "", true, false,
         "kept"},

        // Assign value to PID-3-2.
        {"assigned in Latin-1", kLatin1, Op::Assign, Typed("João"), "", false, false,
         Replaced(kLatin1, 7, 3, "Jo\xe3o")},
        {"assigned in UTF-8", kDeclared, Op::Assign, Typed("João"), "", false, false,
         Replaced(kDeclared, 8, 4, "Jo\xc3\xa3o")},
        {"assigned over invalid bytes", kInvalid, Op::Assign, Typed("Jörg"), "", false, false,
         Replaced(kInvalid, 8, 2, "J\xc3\xb6rg")},
    };
    const Delimiters delimiters;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SearchRequest request;
        request.FindText = c.text;
        request.ReplaceText = c.replacement;
        request.MatchCase = c.matchCase;
        request.MatchWholeWordOnly = c.wholeWord;
        FilterCriteria criteria;
        criteria.request.FilterText = c.text;
        criteria.MatchCase = c.matchCase;
        criteria.MatchWholeWordOnly = c.wholeWord;
        std::string record = c.record;
        std::string result;
        switch (c.op) {
        case Op::Display:
            result = frmMain::DisplayText(record).toStdString();
            break;
        case Op::Find: {
            RecordMatch match;
            result = RecordMatcher(request, delimiters, '\r').Matches(record, match)
                         ? std::to_string(match.position - NameAt(record))
                         : none;
            break;
        }
        case Op::Replace:
            ReplaceInRecord(record, request, delimiters, '\r');
            result = record;
            break;
        case Op::FilterByField:
            criteria.byField = true;
            criteria.request.FilterFieldName = "PID-3";
            [[fallthrough]];
        case Op::Filter:
            result = FilterMatcher(criteria, delimiters, '\r').Matches(record) ? "kept" : "dropped";
            break;
        case Op::Assign:
            request.FindText = std::string(AnythingFindText);
            request.ReplaceFieldName = "PID-3-2";
            request.ReplaceText = c.text;
            ReplaceInRecord(record, request, delimiters, '\r');
            result = record;
            break;
        }
        EXPECT_EQ(result, c.expected);
        // A record of valid UTF-8 stays so.
        if (QByteArrayView(c.record).isValidUtf8()) {
            EXPECT_TRUE(QByteArrayView(record).isValidUtf8());
        }
    }
}

TEST(RecordEncoding, RuleReadsMsh18FirstThenTheBytes)
{
    const std::string utf8 = "PID|1||M\xc3\xbcller\r";
    const std::string latin1 = "PID|1||M\xfcller\r";
    struct Case {
        const char* what;
        std::string record;
        std::string declared;
        TextEncoding expected;
    };
    const Case cases[] = {
        {"plain ASCII, whatever MSH-18 says", Msh("UNICODE UTF-8") + "PID|1||X\r", "UNICODE UTF-8",
         TextEncoding::Latin1},
        {"declared", Msh("UNICODE UTF-8") + utf8, "UNICODE UTF-8", TextEncoding::Utf8},
        {"declared in small letters, with blanks", Msh(" unicode utf-8 ") + utf8, "unicode utf-8",
         TextEncoding::Utf8},
        {"UTF-8 alone", Msh("UTF-8") + utf8, "UTF-8", TextEncoding::Utf8},
        {"UTF8", Msh("UTF8") + utf8, "UTF8", TextEncoding::Utf8},
        {"utf8", Msh("utf8") + utf8, "utf8", TextEncoding::Utf8},
        {"UNICODE UTF8", Msh("UNICODE UTF8") + utf8, "UNICODE UTF8", TextEncoding::Utf8},
        {"unicode utf-8", Msh("unicode utf-8") + utf8, "unicode utf-8", TextEncoding::Utf8},
        {"first component only", Msh("UNICODE UTF-8^x") + utf8, "UNICODE UTF-8", TextEncoding::Utf8},
        {"ASCII is a single-byte set", Msh("ASCII") + utf8, "ASCII", TextEncoding::Latin1},
        {"8859/15 is a single-byte set", Msh("8859/15") + utf8, "8859/15", TextEncoding::Latin1},
        {"a set not known: the bytes decide", Msh("ISO IR87") + utf8, "ISO IR87", TextEncoding::Utf8},
        {"a set not known, invalid bytes", Msh("ISO IR87") + latin1, "ISO IR87", TextEncoding::Latin1},
        {"first repetition only", Msh("8859/1~UNICODE UTF-8") + utf8, "8859/1", TextEncoding::Latin1},
        {"first repetition declares", Msh("UNICODE UTF-8~8859/1") + latin1, "UNICODE UTF-8",
         TextEncoding::Utf8},
        {"another character set outweighs valid UTF-8", Msh("8859/1") + utf8, "8859/1",
         TextEncoding::Latin1},
        {"empty: valid UTF-8 detected", Msh("") + utf8, "", TextEncoding::Utf8},
        {"empty: invalid bytes stay Latin-1", Msh("") + latin1, "", TextEncoding::Latin1},
        {"empty: an encoded surrogate is no UTF-8", Msh("") + "PID|\xed\xa0\x80\r", "",
         TextEncoding::Latin1},
        {"empty: an overlong form is no UTF-8", Msh("") + "PID|\xc0\xaf\r", "", TextEncoding::Latin1},
        {"MSH-18 of a short MSH is not read from the next segment",
         "MSH|^~\\&|A\rZZZ|1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16|UNICODE UTF-8|" + latin1, "",
         TextEncoding::Latin1},
        {"no MSH: the bytes decide", utf8, "", TextEncoding::Utf8},
        {"other delimiters", "MSH#@*/%#A#B#C#D#1##ADT#1#P#2.5######UTF-8*8859/1\r" + latin1,
         "UTF-8", TextEncoding::Utf8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DeclaredCharacterSet(c.record), c.declared);
        EXPECT_EQ(RecordEncoding(c.record), c.expected);
    }
}

TEST(RecordEncoding, InvalidBytesShowOneReplacementEachAndEditsKeepUntouchedBytes)
{
    // Text and byte positions agree, a unit at a time, valid or not.
    const std::string bytes = "A\xc3\xbc\xfc\xe3\x81" "B\xf0\x9f\x98\x80\xc3";
    const QString text = DecodeText(bytes, TextEncoding::Utf8);
    EXPECT_EQ(text, QString::fromUtf8("Aü\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd" "B😀\xef\xbf\xbd"));
    EXPECT_EQ(TextLength(bytes, TextEncoding::Utf8), text.size());
    const size_t offsets[] = {0, 1, 3, 4, 5, 6, 7, 7, 11, 12};
    for (qsizetype unit = 0; unit <= text.size(); ++unit)
        EXPECT_EQ(ByteOffset(bytes, TextEncoding::Utf8, unit), offsets[unit]) << unit;

    struct Case {
        const char* what;
        std::string original;
        QString text;
        std::string expected;
    };
    const std::string head = Msh("UNICODE UTF-8") + "PID|";
    const Case cases[] = {
        {"nothing changed keeps invalid bytes", head + "\xfc|M\xc3\xbcller\r",
         QString::fromUtf8(head) + QChar(0xFFFD) + "|Müller\r", head + "\xfc|M\xc3\xbcller\r"},
        {"a change before them keeps them too", head + "M\xc3\xbcller|\xfc\r",
         QString::fromUtf8(head + "Möller|") + QChar(0xFFFD) + "\r", head + "M\xc3\xb6ller|\xfc\r"},
        {"Latin-1 stays Latin-1", Msh("") + "PID|M\xfcller\r", QString::fromUtf8(Msh("") + "PID|Jörg\r"),
         Msh("") + "PID|J\xf6rg\r"},
        {"a new record that Latin-1 holds", "", QString::fromUtf8(Msh("") + "PID|Jörg\r"),
         Msh("") + "PID|J\xf6rg\r"},
        {"a new record that needs UTF-8", "", QString::fromUtf8(Msh("") + "PID|Пётр\r"),
         Msh("") + "PID|\xd0\x9f\xd1\x91\xd1\x82\xd1\x80\r"},
        {"a new record declared UTF-8", "", QString::fromUtf8(Msh("UNICODE UTF-8") + "PID|Jörg\r"),
         Msh("UNICODE UTF-8") + "PID|J\xc3\xb6rg\r"},
        {"declaring UTF-8 writes the whole text anew", Msh("") + "PID|J\xf6rg\r",
         QString::fromUtf8(Msh("UNICODE UTF-8") + "PID|Jörg\r"), Msh("UNICODE UTF-8") + "PID|J\xc3\xb6rg\r"},
        {"what the declared set cannot hold is refused, never written as ?", Msh("8859/1") + "PID|X\r",
         QString::fromUtf8(Msh("8859/1") + "PID|П\r"), "refused"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TypedRecordBytes(c.text, c.original).value_or("refused"), c.expected) << c.what;
}

// Typed text beyond Latin-1 through every command that writes it into records: a record whose
// character set cannot hold it keeps its bytes and the box says so (a command that would change
// nothing else refuses, without an undo point); a plain-ASCII record takes it as UTF-8 where it
// then reads so; the count is of what changed.
TEST(RecordEncoding, TypedTextARecordCannotHoldIsNeverWrittenAsQuestionMarks)
{
    const std::string latin1 = Msh("") + "PID|1||1||DOE^M\xfcller\r", ascii = Msh("") + "PID|1||1||DOE^JOHN\r",
                      iso = Msh("8859/1") + "PID|1||1||DOE^JOHN\r",
                      declared = Msh("UNICODE UTF-8") + "PID|1||1||DOE^M\xc3\xbcller\r",
                      detected = Msh("") + "PID|1||1||DOE^M\xc3\xbcller\r";
    // The record with its first `from` written as `to`.
    auto with = [](std::string record, const std::string& from, const std::string& to) {
        return record.replace(record.find(from), from.size(), to);
    };
    // Edit Field writes the record again from its segments, without the last one's terminator.
    auto edited = [&](std::string record, const std::string& from, const std::string& to) {
        record = with(record, from, to);
        record.pop_back();
        return record;
    };
    auto pipes = [](std::string record) {
        std::replace(record.begin(), record.end(), '|', '\xa7');
        return record;
    };
    enum class Path { ReplaceAll, Assign, SegmentReplace, EditField, EditRecord, Paste, Delimiters, Export };
    const QString notHeld = "Character Cannot Be Stored: The character \"";
    const QString left1 = "\" cannot be stored in 1 record's character set; it was left unchanged.";
    const struct {
        Path path;
        std::vector<std::string> records;
        std::string typed;
        std::vector<std::string> expected;  // the records after, or the exported file
        QString boxes;
    } cases[] = {
        {Path::ReplaceAll, {latin1, ascii, iso, declared, detected}, "Δοε",
         {latin1, with(ascii, "DOE", "Δοε"), iso, with(declared, "DOE", "Δοε"), with(detected, "DOE", "Δοε")},
         "Report:  3 replacements were made.\n" + notHeld
             + "Δ\" cannot be stored in 2 records' character set; they were left unchanged."},
        {Path::ReplaceAll, {latin1}, "DOE€", {latin1}, notHeld + "€" + left1},
        {Path::Assign, {ascii, declared, iso}, "山田",
         {with(ascii, "DOE", "山田"), with(declared, "DOE", "山田"), iso},
         "Report:  2 replacements were made.\n" + notHeld + "山" + left1},
        {Path::Assign, {iso}, "山田", {iso}, notHeld + "山" + left1},
        {Path::SegmentReplace, {latin1}, "Δοε", {latin1}, notHeld + "Δ" + left1},
        {Path::SegmentReplace, {ascii}, "Δοε", {with(ascii, "DOE", "Δοε")},
         "Segment List Replace: 1 replacement was made."},
        {Path::EditField, {latin1}, "7€", {latin1}, notHeld + "€" + left1},
        {Path::EditField, {latin1}, "Jürgen", {edited(latin1, "||1|", "||J\xfcrgen|")}, ""},
        {Path::EditField, {ascii}, "7€", {edited(ascii, "||1|", "||7€|")}, ""},
        {Path::EditField, {iso}, "😀", {iso}, notHeld + "😀" + left1},
        {Path::EditField, {detected}, "7€", {edited(detected, "||1|", "||7€|")}, ""},
        {Path::EditRecord, {latin1}, "Δοε", {latin1}, notHeld + "Δ" + left1},
        {Path::EditRecord, {ascii}, "Δοε", {with(ascii, "DOE", "Δοε")}, ""},
        {Path::EditRecord, {declared}, "😀", {with(declared, "DOE", "😀")}, ""},
        {Path::Paste, {iso}, "Πέτρος", {iso},
         notHeld + "Π\" cannot be stored in 1 pasted record's character set; nothing was pasted."},
        {Path::Paste, {ascii}, "Πέτρος", {with(ascii, "DOE", "Πέτρος")}, ""},
        {Path::Delimiters, {latin1, declared}, "§^~\\&", {latin1, declared},
         notHeld + "§\" cannot be stored as one byte in 1 record's character set; no delimiters were changed."},
        {Path::Delimiters, {latin1, ascii}, "§^~\\&", {pipes(latin1), pipes(ascii)},
         "Delimiters Replaced: 56 delimiters were replaced."},
        {Path::Delimiters, {ascii}, "€^~\\&", {ascii},
         notHeld + "€\" cannot be stored as one byte in 1 record's character set; no delimiters were changed."},
        {Path::Export, {latin1}, "€", {},
         notHeld + "€\" cannot be stored as one byte in the exported records' character set; nothing was exported."},
        {Path::Export, {detected}, "§", {},
         notHeld + "§\" cannot be stored as one byte in the exported records' character set; nothing was exported."},
        {Path::Export, {latin1}, "§", {"1\xa7" "DOE^M\xfcller\r\n"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed + " through path " + std::to_string(static_cast<int>(c.path)));
        test::MainWindowFixture f;
        frmMain& w = *f.window;
        AppState& st = f.state;
        st.undo.UndoEnabled = true;
        std::string file;
        for (const std::string& record : c.records)
            file += record;
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("typed.hl7", file)));
        w.mnuOptionsDisplayFieldDescriptions->setChecked(false);
        w.lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        w.lstRecords_Click();
        const QString typed = QString::fromStdString(c.typed);
        const int16_t undoLevel = st.undo.UndoLevel;
        std::string exported;
        switch (c.path) {
        case Path::ReplaceAll:
        case Path::Assign:
        case Path::SegmentReplace:
            test::DriveReplaceDialog(st, {[&](ReplaceDialog& d) {
                if (c.path == Path::Assign) {
                    d.cboSegmentReplace->setEditText("PID");
                    d.cboFieldReplace->setEditText("PID-5-1");
                } else {
                    d.txtFind->setText("DOE");
                }
                d.txtReplace->setText(typed);
                d.optScope[c.path == Path::SegmentReplace ? 1 : 0]->setChecked(true);
                d.cmdCommand[0]->click();
            }});
            if (c.path == Path::SegmentReplace)
                w.lstSegments->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
            if (c.path == Path::Assign)
                w.mnuFieldListAssignValue_Click();
            else if (c.path == Path::SegmentReplace)
                w.mnuSegmentListReplace_Click();
            else
                w.mnuRecordListReplace_Click();
            break;
        case Path::EditField:
            f.responder.QueueInput(typed);
            for (int row = 0; row < w.lstFields->count(); ++row) {
                if (w.lstFields->item(row)->text().startsWith("PID-3 ")) {
                    ASSERT_TRUE(test::ChooseFieldListMenuItem(w, row, w.mnuFieldListEdit));
                }
            }
            break;
        case Path::EditRecord:
            test::OnNextModal<frmEditRecord>([&](frmEditRecord* d) {
                d->txtRecord->setPlainText(d->txtRecord->toPlainText().replace("DOE", typed));
                d->cmdOK->click();
            });
            w.mnuRecordListEdit_Click();
            break;
        case Path::Paste:
            QGuiApplication::clipboard()->setText(w.lstRecords->item(0)->text().replace("DOE", typed) + "\r\n");
            w.mnuClipboardPaste_Click();
            break;
        case Path::Delimiters:
            f.responder.QueueInput(typed);
            w.mnuToolsChangeDelimiters_Click();
            break;
        case Path::Export: {
            platform::SettingsStore settings;
            settings.Open(f.home.filePath("export.settings"));
            frmReport report;
            report.Fill(BuildReport(st.records, {"PID-3", "PID-5"}, ReportRules{st.delimiters, '\r'}));
            report.dialogs = &f.responder;
            report.settings = &settings;
            report.mainWindow = &w;
            frmExportReport window(report);
            window.ssTabExport->setCurrentIndex(0);
            window.chkExportColumnHeader->setChecked(false);
            window.optExportAll->setChecked(true);
            window.txtSeparator->setText(typed);
            f.responder.QueueFiles({f.home.filePath("report.txt")});
            window.cmdExport->click();
            if (QFile::exists(f.home.filePath("report.txt")))
                exported = test::ReadBytes(f.home.filePath("report.txt"));
            break;
        }
        }
        QStringList boxes;
        for (const auto& shown : f.responder.shown())
            if (shown.kind != platform::ScriptedResponder::Shown::Kind::Input)
                boxes << shown.title + ": " + shown.text;
        EXPECT_EQ(boxes.join('\n').toStdString(), c.boxes.toStdString());
        std::vector<std::string> after;
        if (c.path == Path::Export) {
            if (!exported.empty())
                after.push_back(exported);
        } else {
            for (int32_t i = 1; i <= st.records.RecordCount; ++i)
                after.emplace_back(st.records.Record(i));
        }
        EXPECT_EQ(after, c.expected);
        if (after == c.records) {
            EXPECT_EQ(st.undo.UndoLevel, undoLevel);
        }
    }
}

// Upper case of a character as the fold pairs them: a Latin-1 letter's Latin-1 capital, any
// other character itself.
char32_t Folded(char32_t c)
{
    const char32_t upper = c <= 0xFF ? QChar::toUpper(c) : c;
    return upper <= 0xFF ? upper : c;
}

TEST(RecordEncoding, Utf8FindAgreesWithTheFoldOfItsCharacters)
{
    // Texts over letters with and without a Latin-1 pair, characters of two, three and four
    // bytes whose bytes differ from the others' in the case bit alone (Ă and Ģ, め and ァ), and
    // delimiters; each search against a plain scan of the characters, in UTF-8 bytes.
    const std::u32string alphabet = U"aAüÜéÉßÿãÃ\u0102\u0122Пп\u3081\u30A1\U0001F600|^ ";
    std::mt19937 random(11);
    auto text = [&](size_t n) {
        std::u32string s;
        for (size_t i = 0; i < n; ++i)
            s += alphabet[random() % alphabet.size()];
        return s;
    };
    auto utf8 = [](const std::u32string& s) {
        return QString::fromUcs4(s.data(), static_cast<qsizetype>(s.size())).toStdString();
    };
    for (int round = 0; round < 3000; ++round) {
        const std::u32string hay = text(random() % 40), needle = text(1 + random() % 3);
        for (const bool matchCase : {false, true}) {
            size_t expected = std::string::npos;
            for (size_t i = 0; i + needle.size() <= hay.size() && expected == std::string::npos; ++i) {
                bool same = true;
                for (size_t k = 0; k < needle.size() && same; ++k)
                    same = matchCase ? hay[i + k] == needle[k] : Folded(hay[i + k]) == Folded(needle[k]);
                if (same)
                    expected = utf8(hay.substr(0, i)).size();
            }
            ASSERT_EQ(Needle(utf8(needle), TextEncoding::Utf8, matchCase).Find(utf8(hay)), expected)
                << utf8(hay) << " / " << utf8(needle) << " / " << matchCase;
        }
    }
}

TEST(RecordEncoding, AnalysisShowsCharactersAndCountsTextsOnce)
{
    // Character codes: a cell a byte, the character in its first byte's cell, the further
    // bytes' cells blank, a stray byte U+FFFD; a character of two units not cut by the line end.
    const struct {
        std::string source;
        QString line;
    } views[] = {
        {"M\xc3\xbc\xfc\xe3\x81\x82",
         QString::fromUtf8("Mü \xef\xbf\xbdあ  ") + QString(15, ' ') + "4D C3 BC FC E3 81 82 "},
        {"\xf0\x9f\x98\x80", QString::fromUtf8("😀  ") + QString(18, ' ') + "F0 9F 98 80 "},
        {std::string(19, 'x') + "\xf0\x9f\x98\x80",
         QString(19, 'x') + QChar(0xFFFD) + "  " + QString("78 ").repeated(19) + "F0 "},
    };
    for (const auto& v : views)
        EXPECT_EQ(AsciiViewText(v.source, TextEncoding::Utf8).split('\n').front(), v.line);

    // The comparison's RTF pads by characters and writes those beyond Latin-1 as their values.
    const std::string rtf = CompareRowsToRtf(
        {{"PID-5", "M\xc3\xbcller", "\xe3\x81\x82", true, true, true}}, TextEncoding::Utf8);
    EXPECT_NE(rtf.find("PID-5     \\cell M\\'fcller     \\cell \\u12354?\\cell"), std::string::npos)
        << rtf;

    // Unique values: one text is one value whichever record holds it, in either case.
    RecordStore store;
    for (const std::string pid : {"M\xfcller", "M\xc3\xbcller", "M\xc3\x9cLLER", "\xd0\x9f"})
        store.Append(Msh(pid == "M\xc3\xbcller" ? "UNICODE UTF-8" : "") + "PID|1||" + pid + "\r");
    const Delimiters delimiters;
    UniqueValuesReport report(CountUniqueValues(store, "PID-3", {delimiters, '\r', true, {}}), ",", ".");
    ASSERT_EQ(report.LineCount(), 2);
    EXPECT_TRUE(report.Line(0).endsWith(QString::fromUtf8("\"Müller\""))) << report.Line(0).toStdString();
    EXPECT_TRUE(report.Line(0).startsWith("      3")) << report.Line(0).toStdString();
    EXPECT_TRUE(report.Line(1).endsWith(QString::fromUtf8("\"П\""))) << report.Line(1).toStdString();
}

TEST(RecordEncoding, PrintedAndExportedPiecesNeverCutACharacter)
{
    // A record printed 80 characters a line: the ninth character of three bytes on the second.
    const std::string record = std::string(79, 'a') + "\xe3\x81\x82" "b";
    MainListPrinter printer(MainList::Records, *MainListPageLayout(MainList::Records, 1), "x",
                            "d", "t");
    printer.AddRecord(1, record, '\r', '\x1c', TextEncoding::Utf8);
    const PrintedPages pages = printer.Finish();
    const PrintedPage& page = pages.pages.front();
    EXPECT_EQ(pages.Texts(0)[3], "# 1      " + record.substr(0, 82));
    EXPECT_EQ(pages.Texts(0)[4], "b");
    EXPECT_TRUE(page.lines[3].utf8);

    // A report row of a UTF-8 record pads its cells by characters.
    ReportPrintJob job;
    job.captions = {"PID-5", "PID-7"};
    job.rows = {{"M\xc3\xbcller", "1"}, {"Mueller", "2"}};
    job.utf8 = {true, false};
    const PrintedPages report = PaginateReport(job, *ReportLayout(PortraitOrientation, 10));
    EXPECT_EQ(report.Texts(0)[4], "M\xc3\xbcller   1      ");
    EXPECT_EQ(report.Texts(0)[5], "Mueller  2      ");

    // A fixed-width export cuts a UTF-8 cell only between characters, and fills with blanks.
    const struct {
        ColumnFormat format;
        std::string bytes;
    } cuts[] = {{{3, true, false}, "\xc3\xbc \r\n"}, {{3, false, false}, " \xc3\xbc\r\n"},
                {{4, true, false}, "\xc3\xbc\xc3\xbc\r\n"}};
    for (const auto& c : cuts) {
        ExportTable table;
        table.headings = {"PID-5"};
        table.AddRow({"\xc3\xbc\xc3\xbc\xc3\xbc"}, false);
        table.utf8 = {1};
        ExportOptions options;
        options.kind = ExportKind::FixedWidth;
        options.columnHeader = false;
        options.order = {0};
        options.formats = {c.format};
        EXPECT_EQ(ExportBytes(table, options, nullptr), c.bytes) << c.format.width;
    }
}

TEST(RecordEncoding, DelimitersAndQuotesLeaveCharactersWhole)
{
    // A delimiter byte above 127 is part of a character in a UTF-8 record: never swapped there.
    RecordStore store;
    store.Append(Msh("UNICODE UTF-8") + "PID|1||M\xc3\xbc\r");
    store.Append(Msh("") + "PID|1||M\xbc\r");
    Delimiters old;
    old.ComponentSeparator = "\xbc";
    old.AllDelimiters = "|\xbc~\\&";
    ChangeDelimiters(store, old, "|^~\\&");
    EXPECT_EQ(store.Record(1), Msh("UNICODE UTF-8") + "PID|1||M\xc3\xbc\r");
    EXPECT_EQ(store.Record(2), Msh("") + "PID|1||M^\r");

    // A message quoting a long typed text cuts it between characters, and counts characters.
    std::string typed;
    for (int i = 0; i < 302; ++i)
        typed += "\xc3\xbc";
    EXPECT_EQ(BoundedQuote(typed), typed.substr(0, 600) + " ... (2 more characters not shown)");
}

// The main window over a declared UTF-8 record with a stray byte in PID-3, a Latin-1 record and
// a record detected as UTF-8.
class EncodingWindow : public ::testing::Test {
protected:
    test::MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;
    const std::vector<std::string> records = {
        Msh("UNICODE UTF-8") + "PID|1||\xfc||M\xc3\xbcller^\xe3\x81\x82\r",
        Msh("") + "PID|1||2||M\xfcller^J\xf6rg\r",
        Msh("") + "PID|1||3||Schmidt^\xd0\x9f\xd1\x91\xd1\x82\xd1\x80\r",
    };

    void SetUp() override
    {
        st.undo.UndoEnabled = true;
        std::string bytes;
        for (const std::string& record : records)
            bytes += record;
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("mixed.hl7", bytes)));
        w.mnuOptionsDisplayFieldDescriptions->setChecked(false);
        SelectRecord(0);
    }
    void SelectRecord(int row)
    {
        w.lstRecords->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        w.lstRecords_Click();
    }
    int FieldRow(const QString& designation) const
    {
        for (int i = 0; i < w.lstFields->count(); ++i)
            if (w.lstFields->item(i)->text().section(' ', 0, 0) == designation)
                return i;
        return -1;
    }
};

TEST_F(EncodingWindow, ListsShowEachRecordInItsEncodingWithLengthsInBytes)
{
    EXPECT_EQ(w.lstRecords->item(0)->text(),
              QString::fromUtf8(Msh("UNICODE UTF-8") + "PID|1||\xef\xbf\xbd||Müller^あ\r"));
    EXPECT_EQ(w.lstRecords->item(1)->text(), QString::fromUtf8(Msh("") + "PID|1||2||Müller^Jörg\r"));
    w.lstSegments->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    w.lstSegments_Click();
    EXPECT_EQ(w.lstSegments->item(1)->text(), QString::fromUtf8("PID|1||\xef\xbf\xbd||Müller^あ"));
    EXPECT_EQ(w.SegLen, 21);
    const struct {
        int record;
        QString designation;
        std::string value;
        int fieldLen;
    } cases[] = {
        {0, "PID-3", "\xef\xbf\xbd", 1}, {0, "PID-5-1", "Müller", 7}, {0, "PID-5-2", "あ", 3},
        {1, "PID-5-1", "Müller", 6},     {2, "PID-5-2", "Пётр", 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.designation.toStdString() + " of " + std::to_string(c.record));
        SelectRecord(c.record);
        const int row = FieldRow(c.designation);
        ASSERT_GE(row, 0);
        EXPECT_TRUE(w.lstFields->item(row)->text().endsWith(QString::fromUtf8(c.value)));
        w.lstFields->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        w.lstFields_Click();
        EXPECT_EQ(w.FieldLen, c.fieldLen);
    }
}

TEST_F(EncodingWindow, FieldListFindAndFilterByThisFieldReadTheRecordsText)
{
    test::DriveFindDialog(st, {[](FindDialog& d) {
                                   d.cboFindFields->setEditText(QStringLiteral("MÜLLER"));
                                   d.chkMatchCase->setChecked(false);
                                   d.cmdCommand[0]->click();
                               },
                               [](FindDialog&) {}});
    w.mnuFieldListFind_Click();
    EXPECT_EQ(w.lstFields->currentRow(), FieldRow("PID-5"));  // "Müller^あ" holds it first

    // The filter is preset with the line's text and keeps both records of that name.
    QString preset;
    test::OnNextModal<frmFilterRecords>([&](frmFilterRecords* d) {
        preset = d->cboFilterRecords->currentText();
        d->cmdApplyFilter->click();
    });
    ASSERT_TRUE(test::ChooseFieldListMenuItem(w, FieldRow("PID-5-1"), w.mnuFieldListFilterByThisField));
    EXPECT_EQ(preset, QStringLiteral("Müller"));
    ASSERT_EQ(st.records.RecordCount, 2);
    EXPECT_EQ(st.records.Record(1), records[0]);
    EXPECT_EQ(st.records.Record(2), records[1]);
}

TEST_F(EncodingWindow, EditsKeepTheBytesTheyDoNotTouch)
{
    // The field edit writes the value typed in UTF-8; the stray byte stays.
    f.responder.QueueInput(QStringLiteral("Möller"));
    ASSERT_TRUE(test::ChooseFieldListMenuItem(w, FieldRow("PID-5-1"), w.mnuFieldListEdit));
    EXPECT_EQ(st.records.Record(1), Msh("UNICODE UTF-8") + "PID|1||\xfc||M\xc3\xb6ller^\xe3\x81\x82");

    // The record editor: one character changed, every other byte kept.
    test::OnNextModal<frmEditRecord>([](frmEditRecord* d) {
        d->txtRecord->setPlainText(d->txtRecord->toPlainText().replace(QStringLiteral("あ"),
                                                                      QStringLiteral("い")));
        d->cmdOK->click();
    });
    w.mnuRecordListEdit_Click();
    EXPECT_EQ(st.records.Record(1), Msh("UNICODE UTF-8") + "PID|1||\xfc||M\xc3\xb6ller^\xe3\x81\x84");
    EXPECT_EQ(st.records.Record(2), records[1]);
}

TEST_F(EncodingWindow, PasteWritesEachRecordInItsOwnEncodingAndCopyGivesTheTextBack)
{
    const std::vector<std::string> pasted = {
        Msh("UNICODE UTF-8") + "PID|1||Jörg\r", Msh("") + "PID|1||Jörg\r", Msh("") + "PID|1||Пётр\r"};
    QString text;
    for (const std::string& record : pasted)
        text += QString::fromUtf8(record) + "\r\n";
    QGuiApplication::clipboard()->setText(text);
    w.mnuClipboardPaste_Click();
    ASSERT_EQ(st.records.RecordCount, 3);
    EXPECT_EQ(st.records.Record(1), pasted[0]);
    EXPECT_EQ(st.records.Record(2), Msh("") + "PID|1||J\xf6rg\r");
    EXPECT_EQ(st.records.Record(3), pasted[2]);

    QGuiApplication::clipboard()->clear();
    w.mnuCtrlShiftHomeCopyEnd_Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
}

}  // namespace
}  // namespace quillon
