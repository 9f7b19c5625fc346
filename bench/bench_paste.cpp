// Edit > Paste Records from Clipboard of 10,000 and 100,000 generated records in the copy
// commands' shape, each next to a plain copy of the same text (Latin-1 conversion and memcpy)
// in the same run; the paste should grow linearly with the text.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"

using namespace quillon;

namespace {

struct Figures {
    double paste = 0;
    double copy = 0;
};

Figures Measure(int count)
{
    std::string bytes;
    for (int i = 1; i <= count; ++i)
        bytes += bench::GeneratedRecord(i) + "\r\n";
    const QString text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QGuiApplication::clipboard()->setText(text);

    bench::BenchWindow b;
    frmMain& w = *b.window;
    const int runs = count > 50000 ? 3 : 5;
    Figures f;
    f.paste = bench::Best([&] { w.PasteRecords(false); }, runs);
    if (w.st.records.RecordCount != count)
        std::fprintf(stderr, "paste gave %d records, not %d\n", w.st.records.RecordCount, count);

    std::vector<char> target(bytes.size());
    f.copy = bench::Best(
        [&] {
            const QByteArray latin1 = QGuiApplication::clipboard()->text().toLatin1();
            std::memcpy(target.data(), latin1.constData(), static_cast<size_t>(latin1.size()));
        },
        runs);
    std::printf("paste %7d records (%6.1f MB): %8.1f ms   plain copy %7.1f ms   ratio %5.1f\n",
                count, static_cast<double>(bytes.size()) / 1e6, f.paste * 1e3, f.copy * 1e3,
                f.paste / f.copy);
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const Figures small = Measure(10000);
    const Figures large = Measure(100000);
    // Ten times the bytes no longer fit the caches and are fresh pages: the plain copy itself
    // grows by more than 10x, so the paste is judged against its growth.
    std::printf("100,000 / 10,000 records: paste %.1fx, plain copy %.1fx; paste growth / copy "
                "growth %.2f (1 or less: linear like the copy)\n",
                large.paste / small.paste, large.copy / small.copy,
                (large.paste / small.paste) / (large.copy / small.copy));
    // Past the caches both sizes are fresh pages: twice the records, twice the time.
    const Figures larger = Measure(200000);
    std::printf("200,000 / 100,000 records: paste %.2fx, plain copy %.2fx\n",
                larger.paste / large.paste, larger.copy / large.copy);
    return 0;
}
