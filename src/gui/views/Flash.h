// "Flash": a hexadecimal dump of the instrument's whole word memory; the
// rows on screen are read from the instrument over and over.
#pragma once

#include "InstrumentView.h"

class CFlashModel;
class QTreeView;

class CFlash : public CInstrumentView
{
    Q_OBJECT
public:
    explicit CFlash(CInstrumentDoc &doc, QWidget *parent = nullptr);
    ~CFlash() override;

    void OnInitialUpdate() override;
    void OnUpdate(int code, const CReplyNotice &notice) override;
    bool MaximiseFitsForm() const override { return false; }
    QSize FormSize() const override;

    QTreeView *List() const { return m_list; }
    CFlashModel *Model() const { return m_model; }
    int TopRow() const;
    int PageRows() const;
    void ScrollToTop(int row);
    // The row whose words were last asked for; -1 before the first.
    int RowBeingRead() const { return m_reading; }

private:
    void ReadRow(int row);

    CFlashModel *m_model;
    QTreeView *m_list;
    int m_reading = -1;
    bool m_replySeen = false;
};
