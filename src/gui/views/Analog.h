// "Analog": the main board's ten converter channels, raw and converted, read every second.
#pragma once

#include "InstrumentView.h"

class CReportList;

class CAnalog : public CInstrumentView
{
    Q_OBJECT
public:
    explicit CAnalog(CInstrumentDoc &doc, QWidget *parent = nullptr);

    void OnUpdate(int code, const CReplyNotice &notice) override;
    bool MaximiseFitsForm() const override { return false; }
    bool MaximiseWithoutPlacement() const override { return true; }
    QSize FormSize() const override;

    CReportList *List() const { return m_list; }

private:
    void FillReply(const QByteArray &reply, const int *rows);

    CReportList *m_list;
};
