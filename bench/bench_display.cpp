// Display benchmark.
// - A 64 KB record of 2,000 segments is designated (the field table of the locators, and the
//   field-list lines of the display) and shown by the main window: records per second.
// - Huge records shown by the real window (offscreen platform, window shown), each case in its
//   own process so its peak memory (VmHWM) is its own: one segment of 1, 2, 4 and 10 MB (the
//   time should grow in proportion), a 5 MB segment of a million fields, and a million segments. Each prints the time to load and show the record,
//   to show it again, and to repaint the three lists, next to its goal and to a plain read of
//   the same bytes.
// Usage: bench_display [case [screenshot.png]]   (no case: every case, each in a child process)
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/frmMain.h"
#include "platform/QtDialogs.h"
#include "records/FieldDesignations.h"
#include "records/FieldLines.h"

using namespace quillon;

namespace {

const char* const kHeader = "MSH|^~\\&|SEND|FAC|RECV|LAB|20261208083000||ORU^R01|MSG1|P|2.4\r";

std::string MakeRecord()
{
    std::string record = kHeader;
    for (int i = 1; record.size() < 64 * 1024 - 40; ++i)
        record += "OBX|" + std::to_string(i) + "|NM|C^T^L||" + std::to_string(i % 97) + "|U|N\r";
    return record;
}

// A base64 document in OBX-5: one segment of `megabytes` MB.
std::string MakeHugeSegment(size_t megabytes)
{
    std::string record = kHeader;
    record += "OBX|1|ED|PDF^Report||^application^pdf^Base64^";
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < megabytes * 1024 * 1024; ++i)
        record += alphabet[(i * 7 + i / 64) % 64];
    record += "||||||F\r";
    return record;
}

std::string MakeMillionFields()
{
    std::string record = kHeader;
    record += "ZZZ";
    for (int i = 0; i < 1000000; ++i)
        record += "|abcd";
    record += '\r';
    return record;
}

std::string MakeMillionSegments()
{
    std::string record = kHeader;
    for (int i = 0; i < 1000000; ++i)
        record += "NTE|1|ab\r";
    return record;
}

long StatusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::string(key).size()));
    return -1;
}

template <typename F>
double PerSecond(F&& work, int minimumRuns)
{
    QElapsedTimer t;
    t.start();
    int runs = 0;
    while (runs < minimumRuns || t.elapsed() < 1000) {
        work();
        ++runs;
    }
    return runs / (static_cast<double>(t.nsecsElapsed()) / 1e9);
}

template <typename F>
double Ms(F&& work)
{
    QElapsedTimer t;
    t.start();
    work();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void WriteFile(const QString& path, const std::string& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return;
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void Row(const char* what, double ms, double goalMs, double referenceMs)
{
    std::printf("  %-34s %9.1f ms  (goal < %6.0f ms: %s; %7.1f x the plain read)\n", what, ms,
                goalMs, ms < goalMs ? "met" : "MISSED", referenceMs > 0 ? ms / referenceMs : 0.0);
}

int SixtyFourKb(AppState& state, QTemporaryDir& dir)
{
    const std::string record = MakeRecord();
    const size_t segments = SplitRecordSegments(record, '\r').size() - 1;
    Delimiters delimiters;
    const DescriptionDictionary& dictionary = state.dictionary;

    size_t rows = 0;
    const double table = PerSecond(
        [&] { rows = ParseRecordToFieldList(record, delimiters, '\r', true).size(); }, 5);
    size_t lineCount = 0;
    const double lines = PerSecond(
        [&] {
            FieldLineBuffer out;
            for (std::string_view segment : SplitRecordSegments(record, '\r'))
                AppendSegmentFieldLines(segment, DisplayOptions{}, dictionary, {}, delimiters, out);
            lineCount = out.size();
        },
        5);

    platform::QtDialogs dialogs;
    platform::SystemDesktop desktop;
    frmMain window(state, dialogs, desktop);
    window.show();
    const QString path = dir.filePath(QStringLiteral("one.hl7"));
    WriteFile(path, record);
    window.LoadHL7File(path);
    const double shown = PerSecond([&] { window.lstRecords_Click(); }, 3);

    std::printf("64 KB record: %zu bytes, %zu segments, %zu table rows, %zu field-list lines\n",
                record.size(), segments, rows, lineCount);
    std::printf("  %-40s %10.1f records/s\n", "field table (ParseRecordToFieldList)", table);
    std::printf("  %-40s %10.1f records/s\n", "field-list lines with descriptions", lines);
    std::printf("  %-40s %10.1f records/s\n", "main window shows the record", shown);
    return 0;
}

int HugeCase(const QString& name, AppState& state, QTemporaryDir& dir, const QString& screenshot)
{
    // segmentNmb: one segment of N MB.
    const bool oneSegment = name.startsWith(QLatin1String("segment")) && name.endsWith("mb");
    std::string record =
        oneSegment ? MakeHugeSegment(static_cast<size_t>(name.mid(7, name.size() - 9).toInt()))
        : name == QLatin1String("fields1m") ? MakeMillionFields()
                                            : MakeMillionSegments();
    const double showGoal = oneSegment ? 1000 : 2000;
    const QString path = dir.filePath(name + QStringLiteral(".hl7"));
    WriteFile(path, record);
    const size_t bytes = record.size();
    record = std::string();

    platform::QtDialogs dialogs;
    platform::SystemDesktop desktop;
    frmMain window(state, dialogs, desktop);
    window.resize(1000, 700);
    window.show();
    QApplication::processEvents();
    const long baseKb = StatusKb("VmRSS:");

    double readMs = 0;
    {
        QByteArray plain;
        readMs = Ms([&] {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                plain = f.readAll();
        });
    }
    auto repaintAll = [&] {
        window.lstRecords->repaint();
        window.lstSegments->repaint();
        window.lstFields->repaint();
    };
    const double loadMs = Ms([&] {
        window.LoadHL7File(path);
        QApplication::processEvents();
        window.repaint();
    });
    const double showMs = Ms([&] {
        window.lstRecords_Click();
        QApplication::processEvents();
        repaintAll();
    });
    double repaintMs = 0;
    constexpr int repaints = 10;
    for (int i = 0; i < repaints; ++i)
        repaintMs += Ms(repaintAll) / repaints;
    // Scrolled to the far right of the widest row, the visible part is still drawn alone.
    window.lstSegments->horizontalScrollBar()->setValue(
        window.lstSegments->horizontalScrollBar()->maximum());
    const double farRightMs = Ms([&] { window.lstSegments->repaint(); });
    if (!screenshot.isEmpty())
        window.lstSegments->grab().save(QString(screenshot).replace(QLatin1String(".png"),
                                                                    QLatin1String("-right.png")));
    window.lstSegments->horizontalScrollBar()->setValue(0);
    const double grabMs = Ms([&] {
        const QPixmap shot = window.grab();
        if (!screenshot.isEmpty())
            shot.save(screenshot);
    });
    // Selecting the last segment scrolls the field list to its block.
    const double segmentClickMs = Ms([&] {
        {
            const QSignalBlocker block(window.lstSegments);
            window.lstSegments->setCurrentRow(window.lstSegments->count() - 1,
                                              QItemSelectionModel::ClearAndSelect);
        }
        window.lstSegments_Click();
    });
    const long peakKb = StatusKb("VmHWM:");

    std::printf("%s: %zu bytes; %d segment rows, %d field lines; plain read %.1f ms\n",
                name.toLatin1().constData(), bytes, window.lstSegments->count(),
                window.lstFields->count(), readMs);
    Row("load and show (LoadHL7File)", loadMs, showGoal, readMs);
    Row("show again (lstRecords_Click)", showMs, showGoal, readMs);
    Row("repaint of the three lists", repaintMs, 50, readMs);
    Row("repaint scrolled to the far right", farRightMs, 50, readMs);
    Row("grab() of the whole window", grabMs, 50, readMs);
    Row("select the last segment", segmentClickMs, showGoal, readMs);
    std::printf("  %-34s %9.1f MB  (goal < %6d MB: %s; window before load %.1f MB)\n",
                "peak memory (VmHWM)", peakKb / 1024.0, 300, peakKb < 300 * 1024 ? "met" : "MISSED",
                baseKb / 1024.0);
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc < 2) {
        // Every case in its own process, so each one's peak memory is its own.
        QCoreApplication app(argc, argv);
        for (const char* name : {"64kb", "segment1mb", "segment2mb", "segment4mb", "segment10mb",
                                 "fields1m", "segments1m"}) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(), {QLatin1String(name)});
            child.waitForFinished(-1);
        }
        return 0;
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    AppState state;
    InitDataFolders(state.folders, dir.path(), QStringLiteral("quillon"));
    InstallDefaultFsa(state.folders.DataRoot);
    state.dictionary.LoadFsa(state.folders.DataRoot + QStringLiteral("fsa.dat"));
    const QString name = QString::fromLatin1(argv[1]);
    std::fflush(stdout);
    if (name == QLatin1String("64kb"))
        return SixtyFourKb(state, dir);
    return HugeCase(name, state, dir, argc > 2 ? QString::fromLatin1(argv[2]) : QString());
}
