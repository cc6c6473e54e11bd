// The message presenter of the window.
#include "ui/qt_message_presenter.h"

#include <QMessageBox>
#include <algorithm>

#include "resources/command_table.h"

CQtMessagePresenter::CQtMessagePresenter() : m_idInterfaceThread(std::this_thread::get_id()) {}

CQtMessagePresenter::~CQtMessagePresenter() {
    Shutdown();
    // Released waiters still have to leave Present before the lock goes.
    std::unique_lock<std::mutex> lock(m_lock);
    m_cvChanged.wait(lock, [this] { return m_nWaiting == 0; });
}

std::unique_ptr<QMessageBox> CQtMessagePresenter::CreateMessageBox(int nKind,
                                                                   const std::string& strText) {
    // The texts of the message stream often end in a line break that a box
    // does not need.
    std::string strShown = strText;
    while (!strShown.empty() && (strShown.back() == '\n' || strShown.back() == '\r')) {
        strShown.pop_back();
    }
    const bool bWarning = nKind == MSG_WARNING;
    auto pBox = std::make_unique<QMessageBox>(
        bWarning ? QMessageBox::Critical : QMessageBox::NoIcon,
        QString::fromUtf8(bWarning ? kWarningCaption : kInformationCaption),
        QString::fromStdString(strShown), QMessageBox::Ok);
    pBox->setTextFormat(Qt::PlainText);
    pBox->setWindowModality(Qt::ApplicationModal);
    return pBox;
}

void CQtMessagePresenter::Present(int nKind, const std::string& strText) {
    if (nKind != MSG_INFORMATION && nKind != MSG_WARNING) {
        return;
    }
    if (std::this_thread::get_id() == m_idInterfaceThread) {
        if (IsShutDown()) {
            m_console.Present(nKind, strText);
        } else {
            ShowBox(nKind, strText);
        }
        return;
    }

    std::unique_lock<std::mutex> lock(m_lock);
    if (m_bShutDown) {
        lock.unlock();
        m_console.Present(nKind, strText);
        return;
    }
    auto pRequest = std::make_shared<CRequest>(CRequest{nKind, strText});
    m_requests.push_back(pRequest);
    ++m_nWaiting;
    // Posted under the lock, so Shutdown and the destructor cannot slip in
    // between the check and the post.
    QMetaObject::invokeMethod(this, &CQtMessagePresenter::ShowQueuedBoxes, Qt::QueuedConnection);
    m_cvChanged.wait(lock, [&] { return pRequest->bDone || m_bShutDown; });
    --m_nWaiting;
    m_cvChanged.notify_all();
}

void CQtMessagePresenter::ShowQueuedBoxes() {
    // Called again from inside an open box's loop: the loop below shows the
    // next box once this one has closed.
    if (m_bShowingQueued) {
        return;
    }
    m_bShowingQueued = true;
    for (;;) {
        std::shared_ptr<CRequest> pRequest;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            const auto it = std::find_if(m_requests.begin(), m_requests.end(),
                                         [](const auto& p) { return !p->bTaken; });
            if (m_bShutDown || it == m_requests.end()) {
                m_bShowingQueued = false;
                return;
            }
            pRequest = *it;
            pRequest->bTaken = true;
        }
        ShowBox(pRequest->nKind, pRequest->strText);
        std::lock_guard<std::mutex> lock(m_lock);
        pRequest->bDone = true;
        m_requests.erase(std::remove(m_requests.begin(), m_requests.end(), pRequest),
                         m_requests.end());
        m_cvChanged.notify_all();
    }
}

void CQtMessagePresenter::ShowBox(int nKind, const std::string& strText) {
    std::unique_ptr<QMessageBox> pBox = CreateMessageBox(nKind, strText);
    m_openBoxes.emplace_back(pBox.get());
    pBox->exec();
    m_openBoxes.erase(std::remove(m_openBoxes.begin(), m_openBoxes.end(), pBox.get()),
                      m_openBoxes.end());
}

void CQtMessagePresenter::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bShutDown = true;
        for (const auto& pRequest : m_requests) {
            pRequest->bDone = true;
        }
        m_requests.clear();
        m_cvChanged.notify_all();
    }
    if (std::this_thread::get_id() == m_idInterfaceThread) {
        for (const QPointer<QMessageBox>& pBox : std::vector(m_openBoxes)) {
            if (pBox != nullptr) {
                pBox->done(QMessageBox::Ok);
            }
        }
    }
}

bool CQtMessagePresenter::IsShutDown() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bShutDown;
}

int CQtMessagePresenter::GetWaitingCount() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nWaiting;
}
