// Base of every view over the instrument document: knows its document and its
// fixed title, follows the document's news, and tells its frame the size of
// its form.
#pragma once

#include "document/UpdateCodes.h"

#include <QString>
#include <QWidget>

class CInstrumentDoc;
class QPrinter;

class CInstrumentView : public QWidget
{
    Q_OBJECT
public:
    CInstrumentView(CInstrumentDoc &doc, const QString &title, QWidget *parent = nullptr);
    ~CInstrumentView() override;

    CInstrumentDoc &Document() const { return m_doc; }
    // The fixed title: child window caption, placement section, window-list entry.
    QString Title() const { return m_title; }

    // Once, after the view sits in its frame (placement restored by the frame).
    virtual void OnInitialUpdate() {}
    // Every piece of news from the document.
    virtual void OnUpdate(int code, const CReplyNotice &notice);
    // The size that shows the whole form; "maximise" and a first opening
    // without a stored placement fit the frame to it.
    virtual QSize FormSize() const { return sizeHint(); }
    // Form views answer a maximise by fitting their window to the form; list
    // views return false and fill the client area.
    virtual bool MaximiseFitsForm() const { return true; }
    // true: opened without a stored placement, the window starts maximised
    // instead of fitted to the form.
    virtual bool MaximiseWithoutPlacement() const { return false; }

    // The main frame's "&Print..." and "Print Pre&view" reach views that print.
    virtual bool CanPrint() const { return false; }
    virtual void Print(QPrinter *printer) { Q_UNUSED(printer); }

signals:
    // Asks the main frame to carry out one of its commands (CommandIds.h),
    // e.g. opening another view or restarting the board test.
    void CommandRequested(int commandId);

private:
    CInstrumentDoc &m_doc;
    QString m_title;
};
