// The small "ID" dialog that edits one ID as two lines of 8 characters.
#pragma once

#include <QDialog>

class QLineEdit;

class CFormIdDialog : public QDialog
{
    Q_OBJECT
public:
    CFormIdDialog(const QString &title, const QString &line1, const QString &line2, QWidget *parent = nullptr);

    // Each padded with blanks to 8 characters.
    QString Line1() const;
    QString Line2() const;
    QLineEdit *Line1Edit() const { return m_line1; }
    QLineEdit *Line2Edit() const { return m_line2; }

private:
    QLineEdit *m_line1;
    QLineEdit *m_line2;
};
