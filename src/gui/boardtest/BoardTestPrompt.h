// The board test's prompt window: what the operator is to do now, with the
// live reading where there is one, and "Cancel".
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class CBoardTestPrompt : public QDialog
{
    Q_OBJECT
public:
    explicit CBoardTestPrompt(QWidget *parent = nullptr);

    void SetPrompt(const QString &title, const QString &text);
    QString Text() const;
    QPushButton *CancelButton() const { return m_cancel; }

signals:
    // "Cancel", or the window closed by its frame.
    void Cancelled();

protected:
    void reject() override;

private:
    QLabel *m_text;
    QPushButton *m_cancel;
};
