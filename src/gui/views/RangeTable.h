// "Range Table": the four range records of the combustible sensor side by side, read-only.
#pragma once

#include "InstrumentView.h"

class CReportList;

class CRangeTable : public CInstrumentView
{
    Q_OBJECT
public:
    explicit CRangeTable(CInstrumentDoc &doc, QWidget *parent = nullptr);

    void OnInitialUpdate() override;
    void OnUpdate(int code, const CReplyNotice &notice) override;
    QSize FormSize() const override;

    CReportList *List() const { return m_list; }

private:
    void BuildList();
    void FillRange(int range);
    void FillActive();

    CReportList *m_list;
};
