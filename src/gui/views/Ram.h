// "RAM": a hexadecimal dump of the instrument's RAM, the rows on screen
// re-read every second.
#pragma once

#include "InstrumentView.h"

class CReportList;

class CRam : public CInstrumentView
{
    Q_OBJECT
public:
    explicit CRam(CInstrumentDoc &doc, QWidget *parent = nullptr);
    ~CRam() override;

    void OnInitialUpdate() override;
    void OnUpdate(int code, const CReplyNotice &notice) override;
    bool MaximiseFitsForm() const override { return false; }
    QSize FormSize() const override;

    CReportList *List() const { return m_list; }

private:
    void FillRow(int row);

    CReportList *m_list;
};
