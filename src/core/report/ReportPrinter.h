// Puts a report (a rich-text document) on the pages of a printer or a PDF file, with a footer on each page.
#pragma once

#include <QPageLayout>
#include <QString>

class QPagedPaintDevice;
class QTextDocument;

/*
 * The document is laid out again for the device, page by page, leaving a
 * footer band at the bottom of each page: the report's title on the left,
 * "Page n of m" on the right. Works on any paged device, so the window's
 * printer and the PDF writer print the same pages.
 */
class CReportPrinter
{
public:
    // Paints every page on the device; the device keeps its own page size
    // and margins. False when the device cannot be painted on.
    static bool Print(const QTextDocument &report, QPagedPaintDevice &device, const QString &footer);

    // Writes an A4 PDF through a temporary file, so an existing file is
    // replaced only by a complete report. False with *error naming the file.
    static bool WritePdf(const QTextDocument &report, const QString &path, const QString &title,
                         QPageLayout::Orientation orientation = QPageLayout::Portrait, QString *error = nullptr);
};
