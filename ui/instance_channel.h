// The single-instance hand-over: a second start passes its files to the
// window that runs already, through a local socket in the user's runtime
// folder.
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

// corvina-instance in the user's runtime folder; empty when there is none.
std::string GetInstanceSocketPath();

// Hands the files (absolute paths, or none to bring the window to the
// front) to a running window; true when one took them.
bool HandOverToRunningInstance(const std::vector<std::string>& files, int nTimeoutMs = 3000);

class CInstanceServer : public QObject {
    Q_OBJECT

  public:
    using OpenHandler = std::function<void(const std::vector<std::string>& files)>;

    // The handler runs on the interface thread for each hand-over, after
    // the sender has been answered.
    explicit CInstanceServer(OpenHandler onOpen, QObject* pParent = nullptr);
    ~CInstanceServer() override;

    // Starts listening, replacing a socket that a crashed instance left;
    // false when another instance listens already or no socket can be made.
    bool Listen();
    bool IsListening() const;

  private:
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* pSocket);

    OpenHandler m_onOpen;
    QLocalServer* m_pServer;
};
