// The one-instance rule.
#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
constexpr int ConnectMs = 500;
const QByteArray ActivateMessage = "activate\n";
} // namespace

CSingleInstance::CSingleInstance(const QString &key, QObject *parent) : QObject(parent), m_key(key)
{
}

CSingleInstance::~CSingleInstance() = default;

QString CSingleInstance::DefaultKey()
{
    // Per user: another user's session on the same machine runs its own.
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("USERNAME");
    const QByteArray hash = QCryptographicHash::hash((user + QDir::homePath()).toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("AltavoClass-%1").arg(QString::fromLatin1(hash));
}

bool CSingleInstance::AnotherIsRunning()
{
    QLocalSocket socket;
    socket.connectToServer(m_key);
    if (socket.waitForConnected(ConnectMs)) {
        socket.write(ActivateMessage);
        socket.waitForBytesWritten(ConnectMs);
        socket.disconnectFromServer();
        return true;
    }
    // Nobody answers: a socket left behind by a program that crashed is
    // stale and goes.
    QLocalServer::removeServer(m_key);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_key))
        return false; // run anyway; only the one-instance rule is lost
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (peer->readAll().contains(ActivateMessage.trimmed()))
                    emit ActivateRequested();
            });
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        }
    });
    return false;
}
