// Where the instrument history is kept: the SQLite file on this computer (the default) or a shared PostgreSQL server.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class CHistoryDatabaseDialog : public QDialog
{
    Q_OBJECT
public:
    static const QString Caption; // "History Database"

    explicit CHistoryDatabaseDialog(QWidget *parent = nullptr);

    // The preference the command-line program shares: empty for the default file.
    static QString StoredLocation();
    static void StoreLocation(const QString &location);
    // Empty when the location can be stored, else why not.
    static QString CheckLocation(const QString &location);

    // The location as the form gives it: empty for the default file.
    QString Location() const;
    void SetLocation(const QString &location);

    QRadioButton *DefaultButton() const { return m_default; }
    QRadioButton *ServerButton() const { return m_server; }
    QLineEdit *AddressEdit() const { return m_address; }
    QPushButton *TestButton() const { return m_test; }
    QLabel *TestResult() const { return m_result; }

    // Opens the chosen database once and says how it went under the form.
    bool TestConnection();
    // Stores the location when it is well formed; otherwise says why and stays open.
    void accept() override;

private:
    void UpdateControls();

    QRadioButton *m_default;
    QRadioButton *m_server;
    QLineEdit *m_address;
    QPushButton *m_test;
    QLabel *m_result;
};
