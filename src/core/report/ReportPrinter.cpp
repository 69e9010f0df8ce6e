// Reports on printed pages and in PDF files.
#include "ReportPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QTextFrame>
#include <memory>

namespace {
constexpr double FooterPoints = 9.0;
}

bool CReportPrinter::Print(const QTextDocument &report, QPagedPaintDevice &device, const QString &footer)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;

    // A copy laid out for the device's resolution, so point sizes come out
    // as points on paper whatever the device's dots per inch.
    std::unique_ptr<QTextDocument> doc(report.clone());
    doc->documentLayout()->setPaintDevice(&device);
    QTextFrameFormat root = doc->rootFrame()->frameFormat();
    root.setMargin(0);
    doc->rootFrame()->setFrameFormat(root);

    QFont footerFont = doc->defaultFont();
    footerFont.setPointSizeF(FooterPoints);
    const QFontMetricsF metrics(footerFont, &device);
    const double footerBand = metrics.height() * 2.5;
    const QRectF area(0, 0, device.width(), device.height());
    const QSizeF body(area.width(), qMax(1.0, area.height() - footerBand));
    doc->setPageSize(body);

    const int pages = qMax(1, doc->pageCount());
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            device.newPage();
        painter.save();
        const QRectF window(0, page * body.height(), body.width(), body.height());
        painter.translate(0, -window.top());
        doc->drawContents(&painter, window);
        painter.restore();

        painter.save();
        painter.setFont(footerFont);
        painter.setPen(QColor(0x55, 0x55, 0x55));
        const QRectF band(0, area.height() - metrics.height() * 1.2, area.width(), metrics.height() * 1.2);
        painter.drawLine(QPointF(0, band.top() - metrics.height() * 0.4), QPointF(area.width(), band.top() - metrics.height() * 0.4));
        painter.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, footer);
        painter.drawText(band, Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("Page %1 of %2").arg(page + 1).arg(pages));
        painter.restore();
    }
    return painter.end();
}

bool CReportPrinter::WritePdf(const QTextDocument &report, const QString &path, const QString &title,
                              QPageLayout::Orientation orientation, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), why);
        return false;
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    {
        QPdfWriter pdf(&file);
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("Altavo View"));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(orientation);
        pdf.setPageMargins(QMarginsF(15, 15, 15, 12), QPageLayout::Millimeter);
        pdf.setResolution(300);
        if (!Print(report, pdf, title))
            return fail(QStringLiteral("the report could not be drawn"));
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}
