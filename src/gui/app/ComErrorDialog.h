// Offered when a COM port cannot be opened: pick another of COM1 to COM4, or
// Cancel.
#pragma once

#include <QDialog>

class CComErrorDialog : public QDialog
{
    Q_OBJECT
public:
    CComErrorDialog(int failedPort, QWidget *parent = nullptr);

    // The port clicked (1..4); 0 after Cancel.
    int ChosenPort() const { return m_port; }

private:
    int m_port = 0;
};
