// Find Next, the record filter and Replace All with a typed text holding a non-ASCII letter and
// Match case off, over 1,000,000 generated records holding such letters: all Latin-1, and half
// Latin-1 and half UTF-8 (declared in MSH-18 or detected). Each is measured next to one memmem
// pass over the same bytes in the same run, and its result is checked.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchSupport.h"
#include "editing/FilterRecords.h"
#include "editing/FindRecords.h"
#include "editing/ReplaceRecords.h"

using namespace quillon;

namespace {

// Record i: the generated record with MSH-18 and a patient name holding non-ASCII letters;
// patients 5, 10, 15 ... are MÜLLER (so that with every other record UTF-8, half of them are in
// UTF-8), and only record count - 1 holds ZÜNDEL.
std::string Record(int i, int count, bool utf8)
{
    std::string r = bench::GeneratedRecord(i);
    // MSH-13 to MSH-17 empty, then MSH-18: declared UTF-8, Latin-1, or empty (detected).
    const char* const msh18[] = {"UNICODE UTF-8", "8859/1", ""};
    const char* charset = utf8 ? (i % 4 == 1 ? msh18[0] : msh18[2]) : (i % 4 == 0 ? msh18[1] : msh18[2]);
    r.insert(r.find('\r'), std::string("||||||") + charset);
    const char* name = i == count - 1 ? "Z\xdcNDEL^J\xdcRGEN"
                       : i % 5 == 0   ? "M\xfcller^J\xf6rg"
                                      : "Sch\xe4" "fer^Ren\xe9";
    std::string latin1 = name;
    std::string text;
    if (!utf8) {
        text = latin1;
    } else {
        for (char c : latin1) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x80) {
                text += c;
            } else {
                text += static_cast<char>(0xC0 | (u >> 6));
                text += static_cast<char>(0x80 | (u & 0x3F));
            }
        }
    }
    const size_t at = r.find("PATIENT^NUMBER");
    r.replace(at, 14, text);
    return r;
}

RecordStore Store(int count, bool halfUtf8, size_t& bytes)
{
    RecordStore store;
    bytes = 0;
    for (int i = 1; i <= count; ++i) {
        store.Append(Record(i, count, halfUtf8 && i % 2 == 1));
        bytes += store.Record(i).size();
    }
    return store;
}

// The typed text as the dialogs hand it to the commands: UTF-8 (written here in Latin-1).
std::string Typed(const char* latin1) { return QString::fromLatin1(latin1).toStdString(); }

bool Measure(int count, bool halfUtf8)
{
    size_t bytes = 0;
    RecordStore store = Store(count, halfUtf8, bytes);
    const char* data = halfUtf8 ? "half UTF-8" : "all Latin-1";
    const Delimiters delimiters;
    bool ok = true;
    auto report = [&](const char* what, double seconds, double reference, bool right) {
        std::printf("%8d records (%4.0f MB), %-11s, %-12s: %7.1f ms, memmem pass %6.1f ms, ratio "
                    "%.2f%s\n",
                    count, static_cast<double>(bytes) / 1e6, data, what, seconds * 1e3,
                    reference * 1e3, seconds / reference, right ? "" : "  WRONG RESULT");
        ok = ok && right;
    };

    // Find Next from record 1: the only match is in the last record but one.
    {
        SearchRequest request;
        request.FindText = Typed("z\xfcndel");
        RecordMatch match;
        const double reference = bench::Best([&] { bench::MemmemPass(store, "NOT-IN-ANY-RECORD"); }, 3);
        const double find = bench::Best(
            [&] { match = FindRecord(store, request, delimiters, '\r', {1, store.RecordCount, 1}); }, 3);
        report("Find Next", find, reference, match.found && match.record == count - 1);
    }
    // The filter keeping the fifth of the records that hold the name.
    {
        FilterCriteria criteria;
        criteria.request.FilterText = Typed("M\xdcLLER");
        FilterDecision decision;
        const double reference = bench::Best([&] { bench::MemmemPass(store, "NOT-IN-ANY-RECORD"); }, 3);
        const double filter =
            bench::Best([&] { decision = FilterRecords(store, criteria, delimiters, '\r'); }, 3);
        report("Filter", filter, reference, decision.Remaining() == count / 5);
    }
    // Replace All of the name in the fifth of the records, back and forth.
    {
        SearchRequest request;
        double reference = 1e9, replace = 1e9;
        bool right = true;
        for (int run = 0; run < 4; ++run) {
            request.FindText = Typed(run % 2 ? "M\xd6LLER" : "M\xdcLLER");
            request.ReplaceText = Typed(run % 2 ? "M\xfcller" : "M\xf6ller");
            reference = std::min(reference, bench::Best([&] { bench::MemmemPass(store, "NOT-IN-ANY-RECORD"); }, 1));
            int32_t replaced = 0;
            replace = std::min(replace, bench::Best([&] {
                replaced = RecordListReplaceAll(store, request, delimiters, '\r', 1, store.RecordCount);
            }, 1));
            right = right && replaced == count / 5;
        }
        // Back as built: every byte of every record.
        for (int i = 1; i <= count && right; ++i)
            right = store.Record(i) == Record(i, count, halfUtf8 && i % 2 == 1);
        report("Replace All", replace, reference, right);
    }
    return ok;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
    bool ok = Measure(count, false);
    ok = Measure(count, true) && ok;
    return ok ? 0 : 1;
}
