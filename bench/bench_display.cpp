// Display benchmark: a 64 KB record of 2,000 segments is designated (the field table of the
// locators, and the field-list lines of the display) and shown by the main window.
// Prints records per second for each.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

#include "app/frmMain.h"
#include "platform/QtDialogs.h"
#include "records/FieldDesignations.h"
#include "records/FieldLines.h"

using namespace quillon;

namespace {

std::string MakeRecord()
{
    std::string record = "MSH|^~\\&|SEND|FAC|RECV|LAB|20261208083000||ORU^R01|MSG1|P|2.4\r";
    for (int i = 1; record.size() < 64 * 1024 - 40; ++i)
        record += "OBX|" + std::to_string(i) + "|NM|C^T^L||" + std::to_string(i % 97) + "|U|N\r";
    return record;
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

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string record = MakeRecord();
    const size_t segments = SplitRecordSegments(record, '\r').size() - 1;

    Delimiters delimiters;
    DescriptionDictionary dictionary;
    QTemporaryDir dir;
    AppState state;
    InitDataFolders(state.folders, dir.path(), QStringLiteral("quillon"));
    InstallDefaultFsa(state.folders.DataRoot);
    dictionary.LoadFsa(state.folders.DataRoot + QStringLiteral("fsa.dat"));

    size_t rows = 0;
    const double table = PerSecond(
        [&] { rows = ParseRecordToFieldList(record, delimiters, '\r', true).size(); }, 5);
    size_t lineCount = 0;
    const double lines = PerSecond(
        [&] {
            std::vector<std::string> out;
            for (std::string_view segment : SplitRecordSegments(record, '\r'))
                AppendSegmentFieldLines(segment, DisplayOptions{}, dictionary, {}, delimiters, out);
            lineCount = out.size();
        },
        5);

    state.dictionary = dictionary;
    platform::QtDialogs dialogs;
    platform::SystemDesktop desktop;
    frmMain window(state, dialogs, desktop);
    window.show();
    const QString path = dir.filePath(QStringLiteral("one.hl7"));
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(record.data(), static_cast<qint64>(record.size()));
    }
    window.LoadHL7File(path);
    const double shown = PerSecond([&] { window.lstRecords_Click(); }, 3);

    std::printf("record: %zu bytes, %zu segments, %zu table rows, %zu field-list lines\n",
                record.size(), segments, rows, lineCount);
    std::printf("%-40s %10.1f records/s\n", "field table (ParseRecordToFieldList)", table);
    std::printf("%-40s %10.1f records/s\n", "field-list lines with descriptions", lines);
    std::printf("%-40s %10.1f records/s\n", "main window shows the record", shown);
    return 0;
}
