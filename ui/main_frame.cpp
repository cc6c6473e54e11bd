// The main window.
#include "ui/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QWhatsThis>

#include "player/control_block.h"
#include "player/playback_control.h"
#include "resources/command_table.h"
#include "ui/corvina_view.h"
#include "ui/help_window.h"
#include "ui/open_dialog.h"
#include "ui/position_slider.h"
#include "ui/program_icon.h"
#include "ui/qt_message_presenter.h"
#include "ui/user_paths.h"

namespace {

constexpr int kWatchIntervalMs = 100;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// File names are bytes; shown in the locale's encoding.
QString FromFileName(const std::string& strName) {
    return QFile::decodeName(QByteArray(strName.data(), static_cast<qsizetype>(strName.size())));
}

std::string ToFileName(const QString& strName) {
    const QByteArray name = QFile::encodeName(strName);
    return std::string(name.constData(), static_cast<std::size_t>(name.size()));
}

bool IsCheckable(int nID) {
    return nID == ID_PLAY_PLAYBACK || nID == ID_PLAY_LOOP || nID == ID_AUDIO_SMOOTH ||
           nID == ID_VIEW_STATUS_BAR;
}

bool IsRecentFileCommand(int nID) {
    return nID >= ID_FILE_MRU_FILE1 && nID < ID_FILE_MRU_FILE1 + CRecentFileList::kSize;
}

// "&1 /music/a.mp2"; a long path keeps its start and its file name.
QString RecentFileMenuText(int nIndex, const std::string& strPath) {
    QString strShown = FromFileName(strPath);
    constexpr int kMaxShown = 60;
    if (strShown.size() > kMaxShown) {
        strShown = strShown.left(20) + QStringLiteral("...") + strShown.right(kMaxShown - 23);
    }
    strShown.replace('&', QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(nIndex + 1).arg(strShown);
}

}  // namespace

CMainFrame::CMainFrame(CDocument& document, const std::string& strIniPath, QWidget* pParent)
    : QMainWindow(pParent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint),
      m_document(document),
      m_pView(new CCorvinaView(document, this)),
      m_recentFiles(strIniPath),
      m_bReadLockKeys(QGuiApplication::platformName() != QLatin1String("offscreen") &&
                      QGuiApplication::platformName() != QLatin1String("minimal")) {
    setWindowIcon(GetProgramIcon());
    // No menu of toolbars: the toolbar cannot be hidden or moved.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setAcceptDrops(true);
    setCentralWidget(m_pView);

    m_recentFiles.Load();
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateAccelerators();
    UpdateRecentFileMenu();
    UpdateTitle();
    UpdateCommandStates();
    UpdateLockKeyPanes();

    m_watchTimer.setInterval(kWatchIntervalMs);
    connect(&m_watchTimer, &QTimer::timeout, this, &CMainFrame::OnWatchTimer);
    m_snapshot = TakeSnapshot();
    if (m_bReadLockKeys) {
        qApp->installEventFilter(this);
    }
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::CreateAction(int nID) {
    const CCommandInfo* pCommand = FindCommand(nID);
    auto* pAction = new QAction(this);
    const std::string_view status = StatusPrompt(*pCommand);
    const std::string_view tooltip = TooltipText(*pCommand);
    // The menu text keeps its "\t" and the keys after it: the menu shows
    // them, but they are no shortcut (Loop Play shows Ctrl+L, which pauses).
    pAction->setText(pCommand->pszMenuText != nullptr ? QString::fromUtf8(pCommand->pszMenuText)
                                                      : FromUtf8(tooltip));
    pAction->setStatusTip(FromUtf8(status));
    pAction->setWhatsThis(FromUtf8(status));
    if (!tooltip.empty()) {
        pAction->setToolTip(FromUtf8(tooltip));
    }
    if (pCommand->pszIcon != nullptr) {
        const QIcon fallback(QStringLiteral(":/toolbar/") + QString::fromUtf8(pCommand->pszImage));
        pAction->setIcon(QIcon::fromTheme(QString::fromUtf8(pCommand->pszIcon), fallback));
        pAction->setIconVisibleInMenu(false);
    }
    pAction->setCheckable(IsCheckable(nID));
    pAction->setData(nID);
    connect(pAction, &QAction::triggered, this, [this, nID] { OnActionTriggered(nID); });
    m_actions[nID] = pAction;
    m_checks[nID] = false;
    return pAction;
}

void CMainFrame::CreateActions() {
    auto Create = [this](int nID) {
        if (nID != 0 && nID != ID_FILE_MRU_FILE1 && m_actions.count(nID) == 0) {
            CreateAction(nID);
        }
    };
    for (const CMenuInfo& menu : GetMenus()) {
        for (int nID : menu.items) {
            Create(nID);
        }
    }
    for (int nID : GetToolbar()) {
        Create(nID);
    }

    const CCommandInfo* pRecent = FindCommand(ID_FILE_MRU_FILE1);
    m_pRecentPlaceholder = new QAction(QString::fromUtf8(pRecent->pszMenuText), this);
    m_pRecentPlaceholder->setEnabled(false);
    m_pRecentPlaceholder->setStatusTip(FromUtf8(StatusPrompt(*pRecent)));
    for (int i = 0; i < CRecentFileList::kSize; ++i) {
        auto* pAction = new QAction(this);
        pAction->setStatusTip(FromUtf8(StatusPrompt(*pRecent)));
        pAction->setWhatsThis(FromUtf8(StatusPrompt(*pRecent)));
        pAction->setData(ID_FILE_MRU_FILE1 + i);
        pAction->setVisible(false);
        connect(pAction, &QAction::triggered, this,
                [this, i] { RunCommand(ID_FILE_MRU_FILE1 + i); });
        m_apRecentActions[i] = pAction;
    }
}

void CMainFrame::CreateMenus() {
    for (const CMenuInfo& menu : GetMenus()) {
        QMenu* pMenu = menuBar()->addMenu(QString::fromUtf8(menu.pszTitle));
        // The rules run before the menu opens, as the menu shows them.
        connect(pMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
        for (int nID : menu.items) {
            if (nID == 0) {
                pMenu->addSeparator();
            } else if (nID == ID_FILE_MRU_FILE1) {
                for (QAction* pAction : m_apRecentActions) {
                    pMenu->addAction(pAction);
                }
                pMenu->addAction(m_pRecentPlaceholder);
            } else {
                pMenu->addAction(m_actions.at(nID));
            }
        }
    }
}

void CMainFrame::CreateToolBar() {
    m_pToolBar = new QToolBar(this);
    m_pToolBar->setObjectName(QStringLiteral("toolbar"));
    m_pToolBar->setMovable(false);
    m_pToolBar->setFloatable(false);
    m_pToolBar->setIconSize(QSize(16, 15));
    m_pToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (int nID : GetToolbar()) {
        if (nID == 0) {
            m_pToolBar->addSeparator();
        } else {
            m_pToolBar->addAction(m_actions.at(nID));
        }
    }
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* pStatusBar = statusBar();
    pStatusBar->setSizeGripEnabled(false);
    // The message pane: the idle text, hidden while a prompt is shown.
    m_pMessagePane = new QLabel(QString::fromUtf8(kIdleMessage), pStatusBar);
    pStatusBar->addWidget(m_pMessagePane, 1);
    for (int nID : GetIndicators()) {
        auto* pPane = new QLabel(pStatusBar);
        pPane->setAlignment(Qt::AlignCenter);
        pPane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pPane->setFixedWidth(
            pPane->fontMetrics().horizontalAdvance(QString::fromUtf8(IndicatorText(nID))) + 12);
        pStatusBar->addPermanentWidget(pPane);
        m_indicatorPanes[nID] = pPane;
    }
}

void CMainFrame::CreateAccelerators() {
    for (const CAccelerator& accelerator : GetAccelerators()) {
        auto* pShortcut = new QShortcut(QKeySequence(QString::fromUtf8(accelerator.pszKeys)), this);
        pShortcut->setContext(Qt::WindowShortcut);
        const int nID = accelerator.nID;
        connect(pShortcut, &QShortcut::activated, this, [this, nID] { RunCommand(nID); });
    }
}

QAction* CMainFrame::GetAction(int nID) const {
    const auto it = m_actions.find(nID);
    return it == m_actions.end() ? nullptr : it->second;
}

QLabel* CMainFrame::GetIndicatorPane(int nID) const {
    const auto it = m_indicatorPanes.find(nID);
    return it == m_indicatorPanes.end() ? nullptr : it->second;
}

void CMainFrame::UpdateCommand(CCmdUI& cmdUI) {
    const int nID = cmdUI.m_nID;
    if (IsRecentFileCommand(nID)) {
        cmdUI.Enable(nID - ID_FILE_MRU_FILE1 < static_cast<int>(m_recentFiles.GetFiles().size()));
        return;
    }
    switch (nID) {
        case ID_APP_EXIT:
        case ID_HELP_FINDER:
        case ID_HELP:
        case ID_CONTEXT_HELP:
            cmdUI.Enable(true);
            return;
        case ID_APP_ABOUT:
            cmdUI.Enable(static_cast<bool>(m_fnShowAbout));
            return;
        case ID_VIEW_STATUS_BAR:
            cmdUI.Enable(true);
            cmdUI.SetCheck(!statusBar()->isHidden());
            return;
        case ID_NEXT_PANE:
        case ID_PREV_PANE:
            // The window has one pane: nothing to move to.
            cmdUI.Enable(false);
            return;
        default:
            m_document.OnUpdateCommand(cmdUI);
            return;
    }
}

void CMainFrame::UpdateCommandStates() {
    for (const auto& [nID, pAction] : m_actions) {
        CCmdUI cmdUI(nID, m_checks[nID]);
        UpdateCommand(cmdUI);
        if (pAction->isEnabled() != cmdUI.m_bEnabled) {
            pAction->setEnabled(cmdUI.m_bEnabled);
        }
        if (pAction->isCheckable()) {
            m_checks[nID] = cmdUI.m_bChecked;
            if (pAction->isChecked() != cmdUI.m_bChecked) {
                pAction->setChecked(cmdUI.m_bChecked);
            }
        }
    }
    for (int i = 0; i < CRecentFileList::kSize; ++i) {
        CCmdUI cmdUI(ID_FILE_MRU_FILE1 + i);
        UpdateCommand(cmdUI);
        m_apRecentActions[i]->setEnabled(cmdUI.m_bEnabled);
    }
}

bool CMainFrame::RunCommand(int nID) {
    const auto itCheck = m_checks.find(nID);
    CCmdUI cmdUI(nID, itCheck != m_checks.end() && itCheck->second);
    UpdateCommand(cmdUI);
    if (!cmdUI.m_bEnabled) {
        return false;
    }
    const bool bDone = OnFrameCommand(nID) || m_document.ExecuteCommand(nID);
    if (!m_bClosed) {
        UpdateCommandStates();
        WatchPlayback();
    }
    return bDone;
}

void CMainFrame::OnActionTriggered(int nID) {
    // A checkable action has just toggled its own mark; the rules decide.
    if (QAction* pAction = GetAction(nID); pAction != nullptr && pAction->isCheckable()) {
        pAction->setChecked(m_checks[nID]);
    }
    RunCommand(nID);
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
    OpenDocumentFile(ToFileName(pDialog->selectedFiles().constFirst()));
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
        UpdateRecentFileMenu();
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
    if (strFullPath.empty() || !m_document.OpenDocument(strFullPath)) {
        UpdateCommandStates();
        return false;
    }
    m_recentFiles.Add(strFullPath);
    UpdateRecentFileMenu();
    UpdateTitle();
    InitialUpdate();
    m_document.UpdateAllViews();
    UpdateCommandStates();
    WatchPlayback();
    return true;
}

bool CMainFrame::NewDocument() {
    if (!m_document.NewDocument()) {
        return false;
    }
    UpdateTitle();
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
    setWindowTitle(QString::fromUtf8(kMainTitle) + QStringLiteral(" - ") +
                   FromFileName(m_document.GetTitle()));
}

void CMainFrame::UpdateRecentFileMenu() {
    const auto& files = m_recentFiles.GetFiles();
    for (int i = 0; i < CRecentFileList::kSize; ++i) {
        QAction* pAction = m_apRecentActions[i];
        const bool bUsed = i < static_cast<int>(files.size());
        if (bUsed) {
            pAction->setText(RecentFileMenuText(i, files[static_cast<std::size_t>(i)]));
        }
        pAction->setVisible(bUsed);
    }
    m_pRecentPlaceholder->setVisible(files.empty());
}

void CMainFrame::UpdateLockKeyPanes() {
    m_lockKeys = m_bReadLockKeys ? ReadLockKeyStates() : CLockKeyStates{};
    const std::pair<int, bool> states[] = {{ID_INDICATOR_CAP, m_lockKeys.bCapsLock},
                                           {ID_INDICATOR_NUM, m_lockKeys.bNumLock},
                                           {ID_INDICATOR_SCRL, m_lockKeys.bScrollLock}};
    for (const auto& [nID, bOn] : states) {
        if (QLabel* pPane = GetIndicatorPane(nID)) {
            const QString strText = bOn ? QString::fromUtf8(IndicatorText(nID)) : QString();
            if (pPane->text() != strText) {
                pPane->setText(strText);
            }
        }
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

CMainFrame::CStateSnapshot CMainFrame::TakeSnapshot() {
    return {g_nPlayState.load(), g_pDecoder.load() != nullptr, g_bLoopPlay.load(),
            g_bSmoothPlay.load()};
}

void CMainFrame::WatchPlayback() {
    if (!m_watchTimer.isActive() && !m_bClosed) {
        m_watchTimer.start();
    }
}

void CMainFrame::OnWatchTimer() {
    const CStateSnapshot snapshot = TakeSnapshot();
    if (!(snapshot == m_snapshot)) {
        const bool bDecoderChanged = snapshot.bHasDecoder != m_snapshot.bHasDecoder;
        m_snapshot = snapshot;
        // A decoder that comes or goes changes the time scale.
        if (bDecoderChanged) {
            m_document.UpdateAllViews();
        }
        UpdateCommandStates();
    }
    // Only a worker changes the state behind the window's back; without one
    // the timer rests until the next command.
    const int nState = snapshot.nPlayState;
    const bool bActive = nState == PLAY_STARTED || nState == PLAY_RESUMED ||
                         nState == PLAY_STOPPING || nState == PLAY_PAUSED || snapshot.bHasDecoder ||
                         IsWorkerRunning();
    if (!bActive) {
        m_watchTimer.stop();
    }
}

void CMainFrame::closeEvent(QCloseEvent* pEvent) {
    m_bClosed = true;
    m_watchTimer.stop();
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
    for (const QUrl& url : pEvent->mimeData()->urls()) {
        if (!url.isLocalFile()) {
            continue;
        }
        pEvent->acceptProposedAction();
        const std::string strPath = ToFileName(url.toLocalFile());
        // Opened after the drop has finished: the open may show a box.
        QTimer::singleShot(0, this, [this, strPath] {
            ActivateFrame();
            OpenDocumentFile(strPath);
        });
        return;
    }
}

bool CMainFrame::event(QEvent* pEvent) {
    if (pEvent->type() == QEvent::WindowBlocked) {
        m_pView->GetSlider()->EndOpenAction();
    }
    return QMainWindow::event(pEvent);
}

bool CMainFrame::eventFilter(QObject* pWatched, QEvent* pEvent) {
    const QEvent::Type type = pEvent->type();
    if (type == QEvent::KeyRelease || type == QEvent::ApplicationActivate) {
        UpdateLockKeyPanes();
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}
