// Turns the user manual (Markdown) into the PDF that Help > Manual opens.
//   make_manual docs/manual.md Manual.pdf
// Run with QT_QPA_PLATFORM=offscreen on a machine without a display.
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextDocument>
#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: make_manual <manual.md> <Manual.pdf>\n");
        return 2;
    }
    QFile in(args[1]);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make_manual: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    const QString markdown = QString::fromUtf8(in.readAll());

    QTextDocument doc;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10.5);
    // A spacing other than 100% turns ligatures off, so that text found or copied in the PDF
    // reads "fi" as two letters.
    font.setLetterSpacing(QFont::PercentageSpacing, 100.01);
    doc.setDefaultFont(font);
    doc.setMarkdown(markdown);
    // The first heading names the document.
    QString title = QStringLiteral("Quillon User Manual");
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.blockFormat().headingLevel() == 1) {
            title = b.text();
            break;
        }

    QPdfWriter writer(args[2]);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Quillon make_manual"));
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter));
    doc.print(&writer);

    QFile out(args[2]);
    if (!out.exists() || out.size() == 0) {
        std::fprintf(stderr, "make_manual: %s was not written\n", qPrintable(args[2]));
        return 1;
    }
    return 0;
}
