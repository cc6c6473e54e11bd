// The single-instance hand-over. A request is each path's bytes and a zero,
// and one zero more at its end; the window answers with one byte before it
// opens the files.
#include "ui/instance_channel.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QVariant>

#include "ui/user_paths.h"

namespace {

constexpr char kAnswer = '\x06';
// Paths can be long and many, but not endless: a request beyond this is
// dropped.
constexpr qint64 kMaxRequest = 4 * 1024 * 1024;

// The end of a whole request: the zero after the last path's zero, or a
// request's first byte for none. -1 while it is not complete.
qsizetype FindRequestEnd(const QByteArray& request) {
    if (request.startsWith('\0')) {
        return 0;
    }
    const qsizetype nEnd = request.indexOf(QByteArray("\0\0", 2));
    return nEnd < 0 ? -1 : nEnd + 1;
}

}  // namespace

std::string GetInstanceSocketPath() {
    const std::string strFolder = GetUserRuntimeFolder();
    return strFolder.empty() ? std::string() : strFolder + "/corvina-instance";
}

bool HandOverToRunningInstance(const std::vector<std::string>& files, int nTimeoutMs) {
    const std::string strSocket = GetInstanceSocketPath();
    if (strSocket.empty()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(strSocket));
    if (!socket.waitForConnected(nTimeoutMs)) {
        return false;
    }
    QByteArray request;
    for (const std::string& strFile : files) {
        // An empty path would end the request early.
        if (!strFile.empty()) {
            request.append(strFile.data(), static_cast<qsizetype>(strFile.size()));
            request.append('\0');
        }
    }
    request.append('\0');
    socket.write(request);
    if (!socket.waitForBytesWritten(nTimeoutMs)) {
        return false;
    }
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(nTimeoutMs)) {
            return false;
        }
    }
    char cAnswer = 0;
    return socket.getChar(&cAnswer) && cAnswer == kAnswer;
}

CInstanceServer::CInstanceServer(OpenHandler onOpen, QObject* pParent)
    : QObject(pParent), m_onOpen(std::move(onOpen)), m_pServer(new QLocalServer(this)) {
    // No socket options: with them the server would move its socket into
    // place over a live one. The runtime folder is the user's own anyway.
    connect(m_pServer, &QLocalServer::newConnection, this, &CInstanceServer::OnNewConnection);
}

CInstanceServer::~CInstanceServer() {
    m_pServer->close();
}

bool CInstanceServer::Listen() {
    const std::string strSocket = GetInstanceSocketPath();
    if (strSocket.empty()) {
        return false;
    }
    const QString strName = QString::fromStdString(strSocket);
    if (m_pServer->listen(strName)) {
        return true;
    }
    // Somebody answers there: another window runs. Nobody: a stale socket.
    QLocalSocket probe;
    probe.connectToServer(strName);
    if (probe.waitForConnected(500)) {
        probe.abort();
        return false;
    }
    QLocalServer::removeServer(strName);
    return m_pServer->listen(strName);
}

bool CInstanceServer::IsListening() const {
    return m_pServer->isListening();
}

void CInstanceServer::OnNewConnection() {
    while (QLocalSocket* pSocket = m_pServer->nextPendingConnection()) {
        connect(pSocket, &QLocalSocket::disconnected, pSocket, &QObject::deleteLater);
        connect(pSocket, &QLocalSocket::readyRead, this, [this, pSocket] { OnReadyRead(pSocket); });
        // A sender that never finishes its request is not kept for ever.
        QTimer::singleShot(10000, pSocket, [pSocket] { pSocket->abort(); });
        if (pSocket->bytesAvailable() > 0) {
            OnReadyRead(pSocket);
        }
    }
}

void CInstanceServer::OnReadyRead(QLocalSocket* pSocket) {
    QByteArray request = pSocket->property("request").toByteArray();
    request.append(pSocket->readAll());
    const qsizetype nEnd = FindRequestEnd(request);
    if (nEnd < 0) {
        if (request.size() > kMaxRequest) {
            pSocket->abort();
        } else {
            pSocket->setProperty("request", request);
        }
        return;
    }
    pSocket->setProperty("request", QByteArray());
    pSocket->write(&kAnswer, 1);
    pSocket->flush();
    pSocket->disconnectFromServer();
    // Opened once the sender has its answer: the open may show a box.
    std::vector<std::string> files;
    for (const QByteArray& path : request.left(nEnd).split('\0')) {
        if (!path.isEmpty()) {
            files.emplace_back(path.constData(), static_cast<std::size_t>(path.size()));
        }
    }
    QTimer::singleShot(0, this, [this, files] { m_onOpen(files); });
}
