#include "single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

constexpr int kTalkMs = 2000;

}  // namespace

SingleInstance::SingleInstance(const std::string& installDir, QObject* parent) : QObject(parent) {
    QString dir = QDir(QString::fromStdString(installDir)).canonicalPath();
    if (dir.isEmpty()) dir = QString::fromStdString(installDir);
    QByteArray hash =
        QCryptographicHash::hash(dir.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    name_ = QStringLiteral("TelvoraClass-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
    lockPath_ = QDir::temp().filePath(name_ + QStringLiteral(".lock"));
}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
    if (lockFd_ >= 0) close(lockFd_);
}

bool SingleInstance::TellRunningInstance(bool newItemStart) {
    // The check and the start of listening form one step under a lock, so
    // that two velos started at once do not both become the first.
    lockFd_ = open(lockPath_.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ >= 0) flock(lockFd_, LOCK_EX);
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kTalkMs)) return false;
    socket.write(newItemStart ? "new\n" : "restore\n");
    socket.waitForBytesWritten(kTalkMs);
    // The first instance answers once it has read the line.
    socket.waitForReadyRead(kTalkMs);
    socket.disconnectFromServer();
    if (lockFd_ >= 0) {
        close(lockFd_);
        lockFd_ = -1;
    }
    return true;
}

bool SingleInstance::Listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left behind by an instance that was killed answers no one.
    QLocalServer::removeServer(name_);
    bool listening = server_->listen(name_);
    if (lockFd_ >= 0) {
        close(lockFd_);
        lockFd_ = -1;
    }
    if (!listening) return false;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    QByteArray line = socket->readLine(64).trimmed();
                    socket->write("ok\n");
                    if (line == "restore") emit RestoreRequested();
                    if (line == "new") emit NewItemsAnnounced();
                }
                // A peer that writes without line ends is not a velo.
                if (socket->bytesAvailable() > 64) socket->abort();
            });
        }
    });
    return true;
}
