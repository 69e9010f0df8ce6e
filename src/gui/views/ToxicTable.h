// "Toxic Table": every toxic gas record of the instrument's table side by side, read-only.
#pragma once

#include "InstrumentView.h"

class CReportList;

class CToxicTable : public CInstrumentView
{
    Q_OBJECT
public:
    explicit CToxicTable(CInstrumentDoc &doc, QWidget *parent = nullptr);

    void OnInitialUpdate() override;
    void OnUpdate(int code, const CReplyNotice &notice) override;
    QSize FormSize() const override;

    CReportList *List() const { return m_list; }

private:
    void FillRecord(int record);

    CReportList *m_list;
};
