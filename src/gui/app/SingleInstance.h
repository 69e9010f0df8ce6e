// One running program per user: the first start listens on a local socket
// named after the user; a later start tells it to come to the front and ends.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

class CSingleInstance : public QObject
{
    Q_OBJECT
public:
    // key: the socket's name (per user); tests give their own.
    explicit CSingleInstance(const QString &key = DefaultKey(), QObject *parent = nullptr);
    ~CSingleInstance() override;

    // true when another instance answered (it has been asked to come to the
    // front); false when this one is now the running instance.
    bool AnotherIsRunning();

    static QString DefaultKey();

signals:
    // A later start asked this instance to show itself.
    void ActivateRequested();

private:
    QString m_key;
    QLocalServer *m_server = nullptr;
};
