// Base of every view over the instrument document: knows its document and its
// fixed title, follows the document's news, and tells its frame the size of
// its form.
#pragma once

#include "document/UpdateCodes.h"

#include <QString>
#include <QWidget>

class CInstrumentDoc;

class CInstrumentView : public QWidget
{
    Q_OBJECT
public:
    CInstrumentView(CInstrumentDoc &doc, const QString &title, QWidget *parent = nullptr);

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

private:
    CInstrumentDoc &m_doc;
    QString m_title;
};
