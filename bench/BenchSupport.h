#pragma once
// What the benchmark programs share: the generated record, a main window over its own data
// folders, and seconds from a timer.
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "app/frmMain.h"
#include "platform/Dialogs.h"
#include "platform/QtDialogs.h"

namespace quillon::bench {

// Record i of the generated files: 9 segments, each ended by `eol`, control ID MSG%08d.
inline std::string GeneratedRecord(int i, const char* eol = "\r")
{
    char buf[512];
    std::string r;
    r.reserve(700);
    std::snprintf(buf, sizeof buf,
                  "MSH|^~\\&|SENDER|FACILITY|RECEIVER|LAB|20261208%06d||ORU^R01|MSG%08d|P|2.4%s",
                  i % 240000, i, eol);
    r += buf;
    std::snprintf(buf, sizeof buf,
                  "PID|1||%08d^^^MAIN^MR||PATIENT^NUMBER^%d||19700101|F|||%d MAIN "
                  "ST^^SPRINGFIELD^IL^62701%s",
                  i, i, i % 997, eol);
    r += buf;
    r += "PV1|1|I|W2^201^A||||1234^WELBY^MARCUS^J^^DR|||MED";
    r += eol;
    r += "OBR|1|ORD1001|LAB2001|CBC^COMPLETE BLOOD COUNT^L|||202612080830";
    r += eol;
    for (int k = 1; k <= 4; ++k) {
        std::snprintf(buf, sizeof buf, "OBX|%d|NM|CODE%d^Observation %d^L||%d.%d|g/dL|12.0-16.0|N|||F%s",
                      k, k, k, 10 + i % 7, k, eol);
        r += buf;
    }
    r += "NTE|1||Specimen received in good condition.";
    r += eol;
    return r;
}

// A store of `count` generated records; `bytes` gets their total size.
inline RecordStore GeneratedStore(int count, size_t& bytes)
{
    RecordStore store;
    bytes = 0;
    for (int i = 1; i <= count; ++i) {
        std::string record = GeneratedRecord(i);
        bytes += record.size();
        store.Append(std::move(record));
    }
    return store;
}

// The reference pass: one memmem call per record for `needle` (by default a text that is in no
// record); answers the number of records that hold it.
inline volatile int32_t memmemSink = 0;

inline int32_t MemmemPass(const RecordStore& store, std::string_view needle = "NOT-IN-ANY-RECORD")
{
    int32_t found = 0;
    for (int32_t i = 1; i <= store.RecordCount; ++i) {
        const std::string& r = store.Record(i);
        found += memmem(r.data(), r.size(), needle.data(), needle.size()) != nullptr ? 1 : 0;
    }
    memmemSink = found;
    return found;
}

// A main window over its own state and data folders; message boxes it showed are printed.
struct BenchWindow {
    BenchWindow()
    {
        InitDataFolders(state.folders, dir.path(), QStringLiteral("quillon"));
        window = std::make_unique<frmMain>(state, responder, desktop);
    }
    ~BenchWindow()
    {
        for (const auto& shown : responder.shown())
            std::fprintf(stderr, "message box: %s: %s\n", qPrintable(shown.title),
                         qPrintable(shown.text));
    }
    QTemporaryDir dir;
    AppState state;
    platform::ScriptedResponder responder;
    platform::SystemDesktop desktop;
    std::unique_ptr<frmMain> window;
};

inline double Seconds(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e9; }

}  // namespace quillon::bench
