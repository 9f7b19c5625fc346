// Loading benchmark: a generated file of 100,000 records, loaded by the core loader and by the
// main window, next to a plain read of the same file. Prints records/s, MB/s and the ratios.
//   bench_load [records]        (default 100000)
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/frmMain.h"
#include "platform/FileIO.h"
#include "platform/QtDialogs.h"
#include "records/HL7Loader.h"

using namespace quillon;

namespace {

std::string MakeFile(int records)
{
    std::string out;
    out.reserve(static_cast<size_t>(records) * 700);
    char buf[512];
    for (int i = 0; i < records; ++i) {
        std::snprintf(buf, sizeof buf,
                      "MSH|^~\\&|SENDER|FACILITY|RECEIVER|LAB|20261208%06d||ORU^R01|MSG%08d|P|2.4\r\n",
                      i % 240000, i);
        out += buf;
        std::snprintf(buf, sizeof buf,
                      "PID|1||%08d^^^MAIN^MR||PATIENT^NUMBER^%d||19700101|F|||%d MAIN ST^^SPRINGFIELD^IL^62701\r\n",
                      i, i, i % 997);
        out += buf;
        out += "PV1|1|I|W2^201^A||||1234^WELBY^MARCUS^J^^DR|||MED\r\n";
        out += "OBR|1|ORD1001|LAB2001|CBC^COMPLETE BLOOD COUNT^L|||202612080830\r\n";
        for (int k = 1; k <= 4; ++k) {
            std::snprintf(buf, sizeof buf, "OBX|%d|NM|CODE%d^Observation %d^L||%d.%d|g/dL|12.0-16.0|N|||F\r\n",
                          k, k, k, 10 + i % 7, k);
            out += buf;
        }
        out += "NTE|1||Specimen received in good condition.\r\n";
    }
    return out;
}

double PlainRead(const std::string& path)
{
    QElapsedTimer t;
    t.start();
    FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    std::string data(static_cast<size_t>(std::ftell(f)), '\0');
    std::fseek(f, 0, SEEK_SET);
    const size_t got = std::fread(data.data(), 1, data.size(), f);
    std::fclose(f);
    if (got != data.size())
        std::fprintf(stderr, "short read\n");
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

class SilentHost : public LoadHost {
public:
    bool AskLoadNonHL7() override { return false; }
};

// The store lives across runs, as the program's own store does.
double CoreLoad(const QString& path, int expected, RecordStore& store)
{
    QElapsedTimer t;
    t.start();
    std::string content;
    platform::ReadWholeFile(path, content);
    Delimiters delimiters;
    SilentHost host;
    ParseHL7Content(content, store, delimiters, '\r', host);
    const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
    if (store.RecordCount != expected)
        std::fprintf(stderr, "core load: %d records, expected %d\n", store.RecordCount, expected);
    return s;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int records = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.hl7"));
    {
        const std::string data = MakeFile(records);
        FILE* f = std::fopen(path.toLocal8Bit().constData(), "wb");
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }
    const double mb = static_cast<double>(QFileInfo(path).size()) / 1e6;

    AppState state;
    InitDataFolders(state.folders, dir.path(), QStringLiteral("quillon"));
    platform::QtDialogs dialogs;
    platform::SystemDesktop desktop;
    frmMain window(state, dialogs, desktop);
    window.show();

    const int runs = 5;
    std::vector<double> plain, core, gui;
    PlainRead(path.toStdString());  // warm the page cache
    RecordStore coreStore;
    for (int r = 0; r < runs; ++r) {
        plain.push_back(PlainRead(path.toStdString()));
        core.push_back(CoreLoad(path, records, coreStore));
        QElapsedTimer t;
        t.start();
        window.LoadHL7File(path);
        gui.push_back(static_cast<double>(t.nsecsElapsed()) / 1e9);
        if (state.records.RecordCount != records)
            std::fprintf(stderr, "window load: %d records\n", state.records.RecordCount);
    }
    const double p = Median(plain), c = Median(core), g = Median(gui);
    std::printf("file: %d records, %.1f MB; median of %d runs; %d cores\n", records, mb, runs,
                QThread::idealThreadCount());
    std::printf("%-24s %10.3f s %12.0f rec/s %9.1f MB/s\n", "plain read (reference)", p,
                records / p, mb / p);
    std::printf("%-24s %10.3f s %12.0f rec/s %9.1f MB/s  %5.1fx the plain read\n",
                "core loader", c, records / c, mb / c, c / p);
    std::printf("%-24s %10.3f s %12.0f rec/s %9.1f MB/s  %5.1fx the plain read\n",
                "main window LoadHL7File", g, records / g, mb / g, g / p);
    return 0;
}
