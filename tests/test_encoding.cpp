// Records in Latin-1 and in UTF-8 side by side: the text each shows, and find, replace, filter
// and assign value with a typed text, each record matched in its own encoding and no byte
// changed outside a match.
#include <gtest/gtest.h>

#include <QByteArrayView>
#include <QString>
#include <functional>
#include <string>

#include "app/frmMain.h"
#include "editing/FilterRecords.h"
#include "editing/FindRecords.h"
#include "editing/ReplaceRecords.h"

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

}  // namespace
}  // namespace quillon
