// The message presenter of the window: each message in a modal box on the
// interface thread, with the calling thread held until the box is closed.
#pragma once

#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_presenter.h"

class QMessageBox;

class CQtMessagePresenter : public QObject, public CMessagePresenter {
    Q_OBJECT

  public:
    // Must be made on the interface thread.
    CQtMessagePresenter();
    ~CQtMessagePresenter() override;

    // On the interface thread the box is shown at once; any other thread
    // hands it over and waits until the box is closed or Shutdown.
    void Present(int nKind, const std::string& strText) override;

    // Releases every waiting thread at once, closes the open boxes, and
    // sends later messages to the console; for closing the window.
    void Shutdown();
    bool IsShutDown() const;
    // Threads that wait in Present now (for tests).
    int GetWaitingCount() const;

    // A configured box of the kind, not yet shown.
    static std::unique_ptr<QMessageBox> CreateMessageBox(int nKind, const std::string& strText);

  private:
    struct CRequest {
        int nKind;
        std::string strText;
        bool bTaken = false;
        bool bDone = false;
    };

    void ShowQueuedBoxes();
    void ShowBox(int nKind, const std::string& strText);

    mutable std::mutex m_lock;
    std::condition_variable m_cvChanged;
    std::deque<std::shared_ptr<CRequest>> m_requests;
    int m_nWaiting = 0;
    bool m_bShutDown = false;
    // The boxes open now; the interface thread alone touches the list.
    std::vector<QPointer<QMessageBox>> m_openBoxes;
    // One handed-over box at a time: the next waits until this one closes.
    bool m_bShowingQueued = false;
    std::thread::id m_idInterfaceThread;
    CConsolePresenter m_console;
};
