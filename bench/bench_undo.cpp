// Undo benchmark: the main window's UndoSave (back to the window, and until its file is written)
// and RestoreUndoLevel over a store of 100,000 generated records, next to plain copies of the
// undo file's bytes made in the same run.
// Prints MB/s and the ratios to the copies.
//   bench_undo [records]        (default 100000)
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/frmMain.h"
#include "platform/QtDialogs.h"

using namespace quillon;

using namespace quillon::bench;

namespace {

// The records of bench_load's generated file, as the store holds them (segments end in CR).
void FillStore(RecordStore& store, int records)
{
    store.Reset(1);
    for (int i = 0; i < records; ++i)
        store.Append(GeneratedRecord(i));
}

// Copies the file through one reused 1 MB buffer, read then write: the least any copy of
// these bytes costs with ordinary calls.
double ReadWriteCopy(const QString& from, const QString& to)
{
    QFile::remove(to);
    QElapsedTimer t;
    t.start();
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY);
    const int out = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char> buffer(size_t{1} << 20);
    ssize_t got = 0;
    while ((got = ::read(in, buffer.data(), buffer.size())) > 0)
        if (::write(out, buffer.data(), static_cast<size_t>(got)) != got)
            std::fprintf(stderr, "short write\n");
    ::close(in);
    ::close(out);
    return Seconds(t);
}

double QtCopy(const QString& from, const QString& to)
{
    QFile::remove(to);
    QElapsedTimer t;
    t.start();
    if (!QFile::copy(from, to))
        std::fprintf(stderr, "QFile::copy failed\n");
    return Seconds(t);
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
    AppState state;
    InitDataFolders(state.folders, dir.path(), QStringLiteral("quillon"));
    state.undo.UndoEnabled = true;
    state.session.InstanceId = UndoInstanceId();
    platform::QtDialogs dialogs;
    platform::SystemDesktop desktop;
    frmMain window(state, dialogs, desktop);
    window.show();
    FillStore(state.records, records);
    const std::vector<RecordText> original = state.records.Records;

    const int runs = 5;
    std::vector<double> save, written, restore, restoreHeld, readWrite, qtCopy;
    double mb = 0;
    const QString copyPath = dir.filePath(QStringLiteral("copy.bin"));
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        window.UndoSave(QStringLiteral("Delete Record"));
        save.push_back(Seconds(t));
        // A large copy is written beside the window: the file is there once the write ends.
        window.AwaitWrites();
        written.push_back(Seconds(t));
        const QString undoFile =
            UndoFileName(state.folders.TempFolder, state.session.InstanceId, state.undo.UndoLevel);
        mb = static_cast<double>(QFileInfo(undoFile).size()) / 1e6;
        readWrite.push_back(ReadWriteCopy(undoFile, copyPath));
        qtCopy.push_back(QtCopy(undoFile, copyPath));

        // The current point's records are kept in memory: its undo takes them from there.
        state.records.Reset(1);  // the store as a command might leave it
        t.restart();
        if (!window.RestoreUndoLevel())
            std::fprintf(stderr, "restore failed\n");
        restoreHeld.push_back(Seconds(t));
        if (state.records.Records != original || state.records.RecordCount != records)
            std::fprintf(stderr, "restore gave a different store\n");

        // An older point's are read back from its file.
        window.UndoSave(QStringLiteral("Delete Record"));
        window.AwaitWrites();
        window.undoSnapshots_[static_cast<size_t>(state.undo.UndoLevel)].reset();
        state.records.Reset(1);
        t.restart();
        if (!window.RestoreUndoLevel())
            std::fprintf(stderr, "restore failed\n");
        restore.push_back(Seconds(t));
        if (state.records.Records != original || state.records.RecordCount != records)
            std::fprintf(stderr, "restore gave a different store\n");
    }
    QFile::remove(copyPath);

    const double s = Median(save), ws = Median(written), rs = Median(restore),
                 rh = Median(restoreHeld), rw = Median(readWrite), qc = Median(qtCopy);
    std::printf("store: %d records, undo file %.1f MB; median of %d runs; %d cores\n", records, mb,
                runs, QThread::idealThreadCount());
    std::printf("%-32s %8.3f s %9.1f MB/s\n", "read+write copy (reference)", rw, mb / rw);
    std::printf("%-32s %8.3f s %9.1f MB/s\n", "QFile::copy", qc, mb / qc);
    std::printf(
        "%-32s %8.3f s (the records' handles copied; the file is written beside the "
        "window)\n",
        "UndoSave, back to the window", s);
    std::printf(
        "%-32s %8.3f s %9.1f MB/s  %5.2fx the read+write copy's time, %5.2fx QFile::copy's\n",
        "UndoSave, file written", ws, mb / ws, ws / rw, ws / qc);
    std::printf(
        "%-32s %8.3f s %9.1f MB/s  %5.2fx the read+write copy's time, %5.2fx QFile::copy's\n",
        "RestoreUndoLevel from the file", rs, mb / rs, rs / rw, rs / qc);
    std::printf("%-32s %8.3f s (the current point's records, kept in memory)\n",
                "RestoreUndoLevel from memory", rh);
    return 0;
}
