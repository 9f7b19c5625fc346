#include "platform/Printer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>

namespace quillon::platform {

bool PrintPages(const PrintedPages& pages, const PrintChoice& choice, QString* error)
{
    QPrinter printer(QPrinter::HighResolution);
    if (!choice.outputPdf.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(choice.outputPdf);
    } else if (!choice.printerName.isEmpty()) {
        printer.setPrinterName(choice.printerName);
    }
    printer.setCopyCount(std::max(1, choice.copies));
    printer.setPageOrientation(choice.orientation == LandscapeOrientation ? QPageLayout::Landscape
                                                                          : QPageLayout::Portrait);
    // Positions are measured from the paper's edges.
    printer.setFullPage(true);

    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error)
            *error = QStringLiteral("The printer could not be started.");
        return false;
    }
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(10);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &printer);
    const double dpi = printer.resolution();
    const double left = pages.layout.leftMargin * dpi;
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF printable = printer.pageRect(QPrinter::DevicePixel);
    const double top = pages.layout.firstLine ? *pages.layout.firstLine * dpi
                                              : printable.top() - paper.top();
    const double step = metrics.lineSpacing();
    // A printer that cannot make copies itself gets the pages that many times.
    const int runs = printer.supportsMultipleCopies() ? 1 : std::max(1, choice.copies);
    bool first = true;
    for (int run = 0; run < runs; ++run) {
        for (const auto& page : pages.pages) {
            if (!first && !printer.newPage()) {
                if (error)
                    *error = QStringLiteral("The printer could not start a new page.");
                painter.end();
                return false;
            }
            first = false;
            double y = top + metrics.ascent();
            for (const std::string& line : page) {
                if (!line.empty())
                    painter.drawText(QPointF(left, y),
                                     QString::fromLatin1(line.data(),
                                                         static_cast<qsizetype>(line.size())));
                y += step;
            }
        }
    }
    return painter.end();
}

}  // namespace quillon::platform
