// The read-only text viewer.
#include "FileViewer.h"

#include "FileViewerDoc.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextFrame>
#include <memory>

CFileViewer::CFileViewer(CFileViewerDoc *doc, QWidget *parent) : QTextEdit(parent)
{
    setDocument(doc);
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard | Qt::LinksAccessibleByMouse);
    document()->setDocumentMargin(12);
}

void CFileViewer::SetMargins(QPrinter *printer)
{
    const double mm = MarginInches * 25.4;
    printer->setPageMargins(QMarginsF(mm, mm, mm, mm), QPageLayout::Millimeter);
}

void CFileViewer::Print(QPrinter *printer) const
{
    // A copy laid out to the printable area with no margin of its own, so
    // the printer's half-inch margins are the only ones on the page.
    std::unique_ptr<QTextDocument> copy(document()->clone());
    const QRectF paper = printer->pageLayout().paintRect(QPageLayout::Point);
    const double dpi = copy->documentLayout()->paintDevice() ? copy->documentLayout()->paintDevice()->logicalDpiX() : 96.0;
    copy->setDocumentMargin(0);
    copy->setPageSize(QSizeF(paper.width() * dpi / 72.0, paper.height() * dpi / 72.0));
    copy->print(printer);
}

void CFileViewer::PrintWithDialog()
{
    QPrinter printer(QPrinter::HighResolution);
    SetMargins(&printer);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        Print(&printer);
}

void CFileViewer::PrintPreview()
{
    QPrinter printer(QPrinter::HighResolution);
    SetMargins(&printer);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *p) { Print(p); });
    preview.exec();
}

void CFileViewer::contextMenuEvent(QContextMenuEvent *event)
{
    // Only what a read-only view offers: copying and selecting.
    QMenu *menu = createStandardContextMenu(event->pos());
    menu->exec(event->globalPos());
    delete menu;
}
