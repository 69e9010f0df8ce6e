// A read-only view of a text document that prints with half-inch margins.
#pragma once

#include <QTextEdit>

class CFileViewerDoc;
class QPrinter;

class CFileViewer : public QTextEdit
{
    Q_OBJECT
public:
    // Page margins on every side: 720 twips, half an inch.
    static constexpr double MarginInches = 720.0 / 1440.0;

    explicit CFileViewer(CFileViewerDoc *doc, QWidget *parent = nullptr);

    // Prints the whole document on printer (pages laid out to its paper).
    void Print(QPrinter *printer) const;
    // The print dialog, then printing.
    void PrintWithDialog();
    void PrintPreview();
    // Sets the viewer's margins on a printer before its dialogs show.
    static void SetMargins(QPrinter *printer);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
};
