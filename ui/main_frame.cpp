// The main window.
#include "ui/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QWhatsThis>
#include <algorithm>

#include "player/playback_control.h"
#include "resources/command_table.h"
#include "ui/corvina_view.h"
#include "ui/engine_event_relay.h"
#include "ui/frame_menus.h"
#include "ui/frame_status_bar.h"
#include "ui/frame_toolbar.h"
#include "ui/open_dialog.h"
#include "ui/play_progress.h"
#include "ui/position_slider.h"
#include "ui/program_icon.h"
#include "ui/qt_message_presenter.h"
#include "ui/qt_strings.h"
#include "ui/user_paths.h"
#include "ui/window_settings.h"

using namespace corvina;

namespace {

bool IsRecentFileCommand(int nID) {
    return nID >= ID_FILE_MRU_FILE1 && nID < ID_FILE_MRU_FILE1 + CRecentFileList::kSize;
}

}  // namespace

CMainFrame::CMainFrame(CCorvinaDoc& document, const std::string& strIniPath, QWidget* pParent)
    : QMainWindow(pParent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint),
      m_document(document),
      m_pView(new CCorvinaView(document, this)),
      m_pRouter(new CCommandRouter(document, *this, this)),
      m_recentFiles(strIniPath) {
    setWindowIcon(GetProgramIcon());
    // No menu of toolbars: the toolbar cannot be hidden or moved.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setAcceptDrops(true);
    setCentralWidget(m_pView);

    m_recentFiles.Load();
    RestoreAudioSettings(strIniPath);
    m_pMenus = std::make_unique<CFrameMenus>(menuBar(), *m_pRouter);
    m_pToolBar = CreateFrameToolBar(*this, *m_pRouter);
    m_pStatusBar = new CFrameStatusBar(statusBar());
    m_pRouter->CreateAccelerators(this);
    m_pMenus->ShowRecentFiles(m_recentFiles.GetFiles());
    UpdateTitle();
    UpdateCommandStates();

    m_pEngineEvents = new CEngineEventRelay(this);
    connect(m_pEngineEvents, &CEngineEventRelay::PlayStateChanged, this,
            &CMainFrame::OnPlayStateChanged);
    connect(m_pEngineEvents, &CEngineEventRelay::DecoderChanged, this,
            &CMainFrame::OnDecoderChanged);
    m_pProgress = new CPlayProgress(*m_pEngineEvents, this);
    // A live stream waiting for its server says so where the idle text stands.
    connect(m_pEngineEvents, &CEngineEventRelay::LiveStateChanged, this, [this](ELiveState eState) {
        GetMessagePane()->setText(
            eState == ELiveState::Reconnecting ? QStringLiteral("Reconnecting\u2026")
            : eState == ELiveState::Buffering  ? QStringLiteral("Buffering\u2026")
                                               : QString::fromUtf8(kIdleMessage));
    });
    connect(m_pProgress, &CPlayProgress::Changed, this, [this] {
        if (!m_bClosed) {
            m_pView->ShowProgress(*m_pProgress);
            UpdateTitle();
        }
    });
    // Next and Previous move the queue by command, from any way in; an
    // audio choice is kept for the next start.
    connect(m_pRouter, &CCommandRouter::CommandRun, this, [this](int nID) {
        SaveAudioSetting(m_recentFiles.GetIniPath(), nID);
        const CPlayQueue& queue = m_document.GetQueue();
        if (m_document.GetPathName() != m_strShownPath || queue.GetIndex() != m_nShownIndex) {
            ShowDocument();
        }
    });
    ShowDocument();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::GetRecentFileAction(int nIndex) const {
    return m_pMenus->GetRecentFileAction(nIndex);
}

QAction* CMainFrame::GetRecentFilePlaceholder() const {
    return m_pMenus->GetRecentFilePlaceholder();
}

QLabel* CMainFrame::GetMessagePane() const {
    return m_pStatusBar->GetMessagePane();
}

QLabel* CMainFrame::GetQueuePane() const {
    return m_pStatusBar->GetQueuePane();
}

QLabel* CMainFrame::GetIndicatorPane(int nID) const {
    return m_pStatusBar->GetIndicatorPane(nID);
}

bool CMainFrame::UpdateFrameCommand(CCmdUI& cmdUI) {
    const int nID = cmdUI.m_nID;
    if (IsRecentFileCommand(nID)) {
        cmdUI.Enable(nID - ID_FILE_MRU_FILE1 < static_cast<int>(m_recentFiles.GetFiles().size()));
        return true;
    }
    switch (nID) {
        case ID_APP_EXIT:
        case ID_FILE_OPEN_LOCATION:
        case ID_HELP_FINDER:
        case ID_HELP:
        case ID_CONTEXT_HELP:
            cmdUI.Enable(true);
            return true;
        case ID_APP_ABOUT:
            cmdUI.Enable(static_cast<bool>(m_fnShowAbout));
            return true;
        case ID_VIEW_STATUS_BAR:
            cmdUI.Enable(true);
            cmdUI.SetCheck(!statusBar()->isHidden());
            return true;
        case ID_NEXT_PANE:
        case ID_PREV_PANE:
            // The window has one pane: nothing to move to.
            cmdUI.Enable(false);
            return true;
        case ID_PLAY_PLAY_PAUSE:
            cmdUI.Enable(m_pRouter->IsEnabled(ID_PLAY_PAUSE) ||
                         m_pRouter->IsEnabled(ID_PLAY_PLAYBACK));
            return true;
        default:
            return false;
    }
}

bool CMainFrame::OnFrameCommand(int nID) {
    if (IsRecentFileCommand(nID)) {
        OnOpenRecentFile(nID - ID_FILE_MRU_FILE1);
        return true;
    }
    switch (nID) {
        case ID_FILE_OPEN:
            OnFileOpen();
            return true;
        case ID_FILE_OPEN_LOCATION:
            OnFileOpenLocation();
            return true;
        case ID_APP_EXIT:
            close();
            return true;
        case ID_VIEW_STATUS_BAR:
            statusBar()->setVisible(statusBar()->isHidden());
            return true;
        case ID_HELP_FINDER:
        case ID_HELP:
            OnHelp();
            return true;
        case ID_CONTEXT_HELP:
            QWhatsThis::enterWhatsThisMode();
            return true;
        case ID_APP_ABOUT:
            m_fnShowAbout();
            return true;
        case ID_PLAY_PLAY_PAUSE:
            // Each half goes through its own rule again.
            return m_pRouter->RunCommand(ID_PLAY_PAUSE) || m_pRouter->RunCommand(ID_PLAY_PLAYBACK);
        default:
            return false;
    }
}

void CMainFrame::OnFileOpen() {
    QString strFolder = QDir::currentPath();
    if (!m_document.GetPathName().empty()) {
        strFolder = QFileInfo(FromFileName(m_document.GetPathName())).absolutePath();
    }
    std::unique_ptr<QFileDialog> pDialog = CreateOpenDialog(this, strFolder);
    pDialog->setWindowTitle(FromUtf8(TooltipText(*FindCommand(ID_FILE_OPEN))));
    if (pDialog->exec() != QDialog::Accepted || pDialog->selectedFiles().isEmpty()) {
        return;
    }
    std::vector<std::string> paths;
    for (const QString& strFile : pDialog->selectedFiles()) {
        paths.push_back(ToFileName(strFile));
    }
    OpenDocumentFiles(paths);
}

void CMainFrame::OnFileOpenLocation() {
    bool bAccepted = false;
    const QString strAddress =
        QInputDialog::getText(this, FromUtf8(TooltipText(*FindCommand(ID_FILE_OPEN_LOCATION))),
                              QStringLiteral("Address (http://, https://, udp://):"),
                              QLineEdit::Normal, QString(), &bAccepted)
            .trimmed();
    if (bAccepted && !strAddress.isEmpty()) {
        OpenDocumentFile(ToFileName(strAddress));
    }
}

void CMainFrame::OnOpenRecentFile(int nIndex) {
    const std::string strPath = m_recentFiles.GetFiles().at(static_cast<std::size_t>(nIndex));
    if (OpenDocumentFile(strPath)) {
        return;
    }
    // A file that is gone leaves the list; one that the document refused
    // for now (a worker slow to stop) stays.
    const QFileInfo info(FromFileName(strPath));
    if (info.isFile() && info.isReadable()) {
        return;
    }
    const auto& files = m_recentFiles.GetFiles();
    const auto it = std::find(files.begin(), files.end(), strPath);
    if (it != files.end()) {
        m_recentFiles.Remove(static_cast<int>(it - files.begin()));
        m_pMenus->ShowRecentFiles(m_recentFiles.GetFiles());
        UpdateCommandStates();
    }
}

void CMainFrame::OnHelp() {
    if (m_pHelpWindow == nullptr) {
        m_pHelpWindow = new CHelpWindow(this);
        m_pHelpWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_pHelpWindow->show();
    m_pHelpWindow->raise();
    m_pHelpWindow->activateWindow();
}

bool CMainFrame::OpenDocumentFile(const std::string& strPath) {
    const std::string strFullPath = MakeAbsolutePath(strPath);
    if (strFullPath.empty() || !m_document.OpenFile(strFullPath)) {
        UpdateCommandStates();
        return false;
    }
    AddRecentFile(strFullPath);
    ShowDocument();
    InitialUpdate();
    m_document.UpdateAllViews();
    UpdateCommandStates();
    return true;
}

bool CMainFrame::OpenDocumentFiles(const std::vector<std::string>& paths) {
    if (paths.size() == 1) {
        return OpenDocumentFile(paths.front());
    }
    std::vector<std::string> fullPaths;
    for (const std::string& strPath : paths) {
        const std::string strFullPath = MakeAbsolutePath(strPath);
        if (!strFullPath.empty()) {
            fullPaths.push_back(strFullPath);
        }
    }
    if (fullPaths.empty() || !m_document.OpenFiles(fullPaths)) {
        UpdateCommandStates();
        return false;
    }
    // The entry in hand is what was opened, or the playlist that listed it.
    const CQueueEntry& entry = m_document.GetQueue().GetCurrent();
    AddRecentFile(entry.strPlaylist.empty() ? entry.strPath : entry.strPlaylist);
    ShowDocument();
    InitialUpdate();
    m_document.UpdateAllViews();
    UpdateCommandStates();
    return true;
}

void CMainFrame::AddRecentFile(const std::string& strPath) {
    m_recentFiles.Add(strPath);
    m_pMenus->ShowRecentFiles(m_recentFiles.GetFiles());
}

void CMainFrame::ShowDocument() {
    const CPlayQueue& queue = m_document.GetQueue();
    m_strShownPath = m_document.GetPathName();
    m_nShownIndex = queue.GetIndex();
    m_pProgress->SetFile(m_strShownPath, queue.GetCurrent().strTitle);
    m_pStatusBar->ShowQueuePosition(queue.GetIndex(), queue.GetCount());
    UpdateTitle();
}

bool CMainFrame::NewDocument() {
    if (!m_document.NewDocument()) {
        return false;
    }
    ShowDocument();
    InitialUpdate();
    m_document.UpdateAllViews();
    UpdateCommandStates();
    return true;
}

void CMainFrame::ActivateFrame() {
    if (isMinimized()) {
        showNormal();
    }
    show();
    raise();
    activateWindow();
}

void CMainFrame::UpdateTitle() {
    // The tags name the track once it has played; the document before.
    const std::shared_ptr<const CTrackInfo> pInfo =
        m_pProgress != nullptr ? m_pProgress->GetTrackInfo() : nullptr;
    const QString strTitle =
        QString::fromUtf8(kMainTitle) + QStringLiteral(" - ") +
        FromFileName(pInfo != nullptr ? TrackDisplayName(*pInfo, m_document.GetTitle())
                                      : m_document.GetTitle());
    if (windowTitle() != strTitle) {
        setWindowTitle(strTitle);
    }
}

void CMainFrame::InitialUpdate() {
    if (m_bSized) {
        return;
    }
    m_bSized = true;
    // Lay the window out once at any height, then take away what the view
    // has beyond its 110 pixels, whatever menu, toolbar and status bar take.
    ensurePolished();
    resize(CCorvinaView::kFrameWidth, 400);
    if (layout() != nullptr) {
        layout()->activate();
    }
    const int nHeight = height() - m_pView->height() + CCorvinaView::kViewHeight;
    setFixedSize(CCorvinaView::kFrameWidth, nHeight);
}

void CMainFrame::OnPlayStateChanged() {
    if (m_bClosed) {
        return;
    }
    // The end of an entry brings on the next.
    if (m_document.ContinueQueue()) {
        ShowDocument();
        m_document.UpdateAllViews();
    }
    UpdateCommandStates();
}

void CMainFrame::OnDecoderChanged() {
    if (m_bClosed) {
        return;
    }
    // A decoder that comes or goes changes the time scale.
    m_document.UpdateAllViews();
    UpdateCommandStates();
}

void CMainFrame::closeEvent(QCloseEvent* pEvent) {
    m_bClosed = true;
    // A worker waiting in a box is let go first, so it can see the stop.
    if (m_pPresenter != nullptr) {
        m_pPresenter->Shutdown();
    }
    ShutdownPlayback();
    if (m_pHelpWindow != nullptr) {
        m_pHelpWindow->close();
    }
    QMainWindow::closeEvent(pEvent);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* pEvent) {
    for (const QUrl& url : pEvent->mimeData()->urls()) {
        if (url.isLocalFile()) {
            pEvent->acceptProposedAction();
            return;
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* pEvent) {
    std::vector<std::string> paths;
    for (const QUrl& url : pEvent->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(ToFileName(url.toLocalFile()));
        }
    }
    if (paths.empty()) {
        return;
    }
    pEvent->acceptProposedAction();
    // Opened after the drop has finished: the open may show a box.
    QTimer::singleShot(0, this, [this, paths] {
        ActivateFrame();
        OpenDocumentFiles(paths);
    });
}

bool CMainFrame::event(QEvent* pEvent) {
    if (pEvent->type() == QEvent::WindowBlocked) {
        m_pView->GetSlider()->EndOpenAction();
    }
    return QMainWindow::event(pEvent);
}
