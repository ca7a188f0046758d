#include "gui/main/RunningInstance.h"

#include "session/SBKModule.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QtEndian>

namespace {

const QByteArray Magic = QByteArrayLiteral("SBK1");
constexpr qint64 HeaderSize = 8;
// A socket that has not sent its whole message by then is dropped.
constexpr int ClientTimeoutMs = 10000;

QByteArray frame(const QStringList& files) {
    QByteArray payload;
    for (const QString& file : files)
        payload += file.toUtf8() + '\0';
    QByteArray length(4, '\0');
    qToBigEndian(quint32(payload.size()), length.data());
    return Magic + length + payload;
}

} // namespace

QString RunningInstance::serverName(const QString& databasePath) {
    const QFileInfo file(databasePath);
    const QString canonical = file.canonicalFilePath();
    const QString path = canonical.isEmpty() ? QDir::cleanPath(file.absoluteFilePath()) : canonical;
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
#ifdef Q_OS_WIN
    // Pipe names are seen by every user: the user's name keeps them apart.
    return QStringLiteral("sbk-%1-%2").arg(qEnvironmentVariable("USERNAME"), hash);
#else
    // The runtime folder belongs to the user alone (mode 0700), so no other user can listen there
    // in SBK's place or see which files are opened.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(folder.isEmpty() ? QDir::tempPath() : folder).filePath(QStringLiteral("sbk-%1").arg(hash));
#endif
}

RunningInstance::HandOver RunningInstance::handOver(const QString& databasePath, const QStringList& files,
                                                    int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(serverName(databasePath));
    if (!socket.waitForConnected(1000))
        return HandOver::NoneRuns;
    socket.write(frame(files));
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(timeoutMs))
            return HandOver::NoAnswer;
    if (socket.bytesAvailable() < 1 && !socket.waitForReadyRead(timeoutMs))
        return HandOver::NoAnswer;
    return socket.read(1) == QByteArray(1, Taken) ? HandOver::Taken : HandOver::NoAnswer;
}

RunningInstance::RunningInstance(const SBKModule& module, QObject* parent)
    : QObject(parent), m_module(module) {
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { take(socket); });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QTimer::singleShot(ClientTimeoutMs, socket, [socket] { socket->abort(); });
            take(socket);
        }
    });
    // The parameters dialog may switch databases; the hand-overs follow within a second.
    connect(&m_follow, &QTimer::timeout, this, &RunningInstance::follow);
    m_follow.start(1000);
    follow();
}

void RunningInstance::follow() {
    if (m_module.isConnected() && m_module.DatabasePath != m_database)
        listen(m_module.DatabasePath);
}

bool RunningInstance::listen(const QString& databasePath) {
    m_server.close();
    m_database = databasePath;
    const QString name = serverName(databasePath);
    if (m_server.listen(name))
        return true;
    // A socket left by an SBK that ended without closing it answers nobody; one that answers
    // belongs to another SBK that started at the same moment, and stays its own.
    if (m_server.serverError() != QAbstractSocket::AddressInUseError)
        return false;
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500))
        return false;
    QLocalServer::removeServer(name);
    return m_server.listen(name);
}

void RunningInstance::take(QLocalSocket* socket) {
    if (socket->bytesAvailable() < HeaderSize)
        return;
    const QByteArray header = socket->peek(HeaderSize);
    const qint64 length = qFromBigEndian<quint32>(header.constData() + 4);
    if (!header.startsWith(Magic) || length > MaxMessage) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < HeaderSize + length)
        return;
    socket->skip(HeaderSize);
    const QByteArray payload = socket->read(length);
    QStringList files;
    for (const QByteArray& path : payload.split('\0'))
        if (!path.isEmpty())
            files << QString::fromUtf8(path);
    socket->write(QByteArray(1, Taken));
    socket->flush();
    socket->disconnectFromServer();
    emit filesHandedOver(files);
}
