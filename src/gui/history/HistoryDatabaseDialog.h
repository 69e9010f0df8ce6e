// Where the instrument history is kept: the SQLite file on this computer (the default) or a shared PostgreSQL server.
#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
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

    // The preference the command-line program shares: empty for the default
    // file. A password given in this run without "Remember password" is put
    // back in for this run only; the preference never holds one.
    // Whether this build and its Qt can reach a shared server at all (the
    // PostgreSQL client and Qt's driver for it); the SQLite file always works.
    static bool SharedServerAvailable();
    static QString StoredLocation();
    static void StoreLocation(const QString &location);
    // Empty when the location can be stored, else why not.
    static QString CheckLocation(const QString &location);

    // The location as the form gives it, without the password: empty for the default file.
    QString Location() const;
    void SetLocation(const QString &location);

    QRadioButton *DefaultButton() const { return m_default; }
    QRadioButton *ServerButton() const { return m_server; }
    QLineEdit *AddressEdit() const { return m_address; }
    QLineEdit *PasswordEdit() const { return m_password; }
    QCheckBox *RememberBox() const { return m_remember; }
    QPushButton *TestButton() const { return m_test; }
    QLabel *TestResult() const { return m_result; }

    // Opens the chosen database once and says how it went under the form.
    bool TestConnection();
    // Stores the location when it is well formed, and with "Remember
    // password" the password in the password file once the server took it;
    // otherwise says why and stays open.
    void accept() override;

private:
    void UpdateControls();
    // A password typed into the address moves to the password field.
    void TakePasswordFromAddress();
    bool RememberPassword(const QString &location, const QString &password);
    // Runs work off the windows' thread and waits for it, the windows going on.
    template <typename T>
    T Waiting(std::function<T()> work);

    QRadioButton *m_default;
    QRadioButton *m_server;
    QLineEdit *m_address;
    QLineEdit *m_password;
    QCheckBox *m_remember;
    QPushButton *m_test;
    QLabel *m_result;
};
