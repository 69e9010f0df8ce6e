// The modeless window of the document's notice ("Communications Error"):
// caption, text and one button that closes it.
#pragma once

#include <QDialog>

class CNoticeWindow;
class QLabel;
class QPushButton;

class CNoticeDialog : public QDialog
{
    Q_OBJECT
public:
    CNoticeDialog(CNoticeWindow &notice, QWidget *parent = nullptr);

    QLabel *Text() const { return m_text; }
    QPushButton *Button() const { return m_button; }

protected:
    void reject() override;

private:
    void Follow();

    CNoticeWindow &m_notice;
    QLabel *m_text;
    QPushButton *m_button;
};
