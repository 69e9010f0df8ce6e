// A database server that never answers: a loopback listener that accepts every connection and holds it without a word, and a loopback port where nothing listens.
#pragma once

#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

class CSilentServer : public QTcpServer
{
public:
    explicit CSilentServer(QObject *parent = nullptr) : QTcpServer(parent)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                m_held.append(socket); // read nothing, answer nothing
        });
    }
    bool Start() { return listen(QHostAddress::LocalHost, 0); }
    int Connections() const { return int(m_held.size()); }
    QString Url(const QString &database) const
    {
        return QStringLiteral("postgresql://nobody@127.0.0.1:%1/%2").arg(serverPort()).arg(database);
    }

    // A loopback port nobody listens on (taken, then let go).
    static quint16 ClosedPort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        return port;
    }

private:
    QList<QPointer<QTcpSocket>> m_held;
};
