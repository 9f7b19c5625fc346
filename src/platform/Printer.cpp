#include "platform/Printer.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <algorithm>
#include <string_view>

#include "platform/FileIO.h"

#include "records/TextEncoding.h"

namespace quillon::platform {
namespace {

QFont PrinterFont(const PrintedPages& pages)
{
    QFont font(QString::fromStdString(pages.fontName));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    const double size = pages.fontSize > 0 ? pages.fontSize : 10;
    font.setPointSizeF(size);
    // Columns line up only in a fixed-pitch font.
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(size);
    }
    return font;
}

}  // namespace

bool PrintPages(const PrintedPages& pages, const PrintChoice& choice, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QPrinter printer(QPrinter::HighResolution);
    if (!choice.outputPdf.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(choice.outputPdf);
    } else if (!choice.printerName.isEmpty()) {
        printer.setPrinterName(choice.printerName);
    }
    if (!printer.isValid())
        return fail(QStringLiteral("No printer is available."));
    printer.setCopyCount(std::max(1, choice.copies));
    printer.setPageOrientation(choice.orientation == 2 ? QPageLayout::Landscape
                                                       : QPageLayout::Portrait);
    printer.setFullPage(true);

    // A PDF is made in memory on the printer's page and written as every file is, so that a
    // full disk is told and an old file stays whole (the printer would write it in place).
    const bool toPdf = !choice.outputPdf.isEmpty();
    QBuffer pdfBytes;
    pdfBytes.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&pdfBytes);
    pdf.setResolution(printer.resolution());
    pdf.setPageLayout(printer.pageLayout());
    QPagedPaintDevice& device = toPdf ? static_cast<QPagedPaintDevice&>(pdf) : printer;

    QPainter painter;
    if (!painter.begin(&device))
        return fail(toPdf ? QStringLiteral("The file %1 could not be written.").arg(choice.outputPdf)
                          : QStringLiteral("The printer could not be started."));
    const QFont font = PrinterFont(pages);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &device);
    const double dpi = printer.resolution();
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF printable = printer.pageRect(QPrinter::DevicePixel);
    const QPointF origin = pages.fromPrintableArea ? printable.topLeft() - paper.topLeft()
                                                   : QPointF(0, 0);
    const double step = metrics.lineSpacing();
    // A printer that cannot make copies itself gets the pages that many times.
    const int runs = printer.supportsMultipleCopies() ? 1 : std::max(1, choice.copies);
    bool first = true;
    for (int run = 0; run < runs; ++run) {
        for (const PrintedPage& page : pages.pages) {
            if (!first && !device.newPage()) {
                painter.end();
                return fail(QStringLiteral("The printer could not start a new page."));
            }
            first = false;
            double y = (page.top ? origin.y() + *page.top * dpi : printable.top() - paper.top()) +
                       metrics.ascent();
            for (const PrintedLine& line : page.lines) {
                const std::string_view text = page.Text(line);
                if (!text.empty())
                    painter.drawText(QPointF(origin.x() + line.x * dpi, y),
                                     DecodeText(text, line.utf8 ? TextEncoding::Utf8
                                                                : TextEncoding::Latin1));
                y += step;
            }
        }
    }
    if (!painter.end()
        || (!toPdf
            && (printer.printerState() == QPrinter::Aborted
                || printer.printerState() == QPrinter::Error)))
        return fail(QStringLiteral("The printer gave up before the job was done."));
    QString why;
    if (toPdf
        && !WriteFileWhole(choice.outputPdf,
                           std::string_view(pdfBytes.data().constData(),
                                            static_cast<size_t>(pdfBytes.data().size())),
                           &why))
        return fail(QStringLiteral("The file %1 could not be written: %2").arg(choice.outputPdf, why));
    return true;
}

bool PrintOrSay(const PrintedPages& pages, const PrintChoice& choice, Dialogs& dialogs)
{
    QString why;
    if (PrintPages(pages, choice, &why))
        return true;
    dialogs.MsgBox(QStringLiteral("The pages could not be printed.  ") + why, MsgButtons::OKOnly,
                   MsgIcon::Critical, QStringLiteral("Print Failed"));
    return false;
}

}  // namespace quillon::platform
