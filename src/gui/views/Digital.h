// "Digital": the main board's port pins and output latches with their decoded meanings, read every second.
#pragma once

#include "InstrumentView.h"
#include "views/DigitalText.h"

class CReportList;

class CDigital : public CInstrumentView
{
    Q_OBJECT
public:
    explicit CDigital(CInstrumentDoc &doc, QWidget *parent = nullptr);

    void OnUpdate(int code, const CReplyNotice &notice) override;
    bool MaximiseFitsForm() const override { return false; }
    bool MaximiseWithoutPlacement() const override { return true; }
    QSize FormSize() const override;

    CReportList *List() const { return m_list; }

private:
    void FillPort(CDigitalText::Port port);
    void FillButtons();
    void SetState(int row, const CDigitalText::State &state);

    CReportList *m_list;
};
