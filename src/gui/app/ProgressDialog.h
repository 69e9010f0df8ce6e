// The modeless window of one of the document's transfer progresses: caption,
// bar and Cancel, opened and closed by the progress itself.
#pragma once

#include <QDialog>

class CTransferProgress;
class QProgressBar;

class CProgressDialog : public QDialog
{
    Q_OBJECT
public:
    CProgressDialog(CTransferProgress &progress, QWidget *parent = nullptr);

    QProgressBar *Bar() const { return m_bar; }

protected:
    void reject() override;

private:
    void Follow();

    CTransferProgress &m_progress;
    QProgressBar *m_bar;
};
