// The main window: menu bar, accelerators, toolbar and status bar around the
// player view, with the framework's services (command routing through the
// update rules, the open dialog, the recent-file list, dropped files, help).
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/document.h"
#include "ui/help_window.h"
#include "ui/lock_keys.h"
#include "ui/recent_file_list.h"

class QAction;
class QLabel;
class QMenu;
class QToolBar;
class CCorvinaView;
class CQtMessagePresenter;

class CMainFrame : public QMainWindow {
    Q_OBJECT

  public:
    // The recent-file list lives in strIniPath.
    explicit CMainFrame(CDocument& document, const std::string& strIniPath = GetDefaultIniPath(),
                        QWidget* pParent = nullptr);
    ~CMainFrame() override;

    // The open path of every way in: the File menu, the recent files, the
    // command line, the hand-over and dropped files. False when the
    // document refused (its own message has been shown).
    bool OpenDocumentFile(const std::string& strPath);
    // The empty document "Untitled".
    bool NewDocument();

    // Carries a command out as the menu, toolbar and keys do: only when its
    // update rule enables it. True when it was carried out.
    bool RunCommand(int nID);
    // Runs every update rule and shows the results on the menu items and
    // toolbar buttons.
    void UpdateCommandStates();
    // Brings the window to the front.
    void ActivateFrame();

    // The presenter whose waiting threads closing the window releases.
    void SetPresenter(CQtMessagePresenter* pPresenter) { m_pPresenter = pPresenter; }
    void SetAboutHandler(std::function<void()> fnShowAbout) {
        m_fnShowAbout = std::move(fnShowAbout);
    }

    CDocument& GetDocument() const { return m_document; }
    CCorvinaView* GetView() const { return m_pView; }
    QToolBar* GetToolBar() const { return m_pToolBar; }
    // The action of a command in the menus and the toolbar, or null.
    QAction* GetAction(int nID) const;
    QAction* GetRecentFileAction(int nIndex) const { return m_apRecentActions[nIndex]; }
    QAction* GetRecentFilePlaceholder() const { return m_pRecentPlaceholder; }
    const CRecentFileList& GetRecentFiles() const { return m_recentFiles; }
    QLabel* GetMessagePane() const { return m_pMessagePane; }
    QLabel* GetIndicatorPane(int nID) const;
    CHelpWindow* GetHelpWindow() const { return m_pHelpWindow; }

  protected:
    void closeEvent(QCloseEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;
    bool event(QEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

  private:
    struct CStateSnapshot {
        int nPlayState = 0;
        bool bHasDecoder = false;
        int bLoopPlay = 0;
        int bSmoothPlay = 0;
        bool operator==(const CStateSnapshot&) const = default;
    };

    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateAccelerators();
    QAction* CreateAction(int nID);

    void UpdateCommand(CCmdUI& cmdUI);
    bool OnFrameCommand(int nID);
    void OnActionTriggered(int nID);
    void OnFileOpen();
    void OnOpenRecentFile(int nIndex);
    void OnHelp();
    void UpdateTitle();
    void UpdateRecentFileMenu();
    void UpdateLockKeyPanes();
    // The window's size, set once: 352 wide, the view 110 high.
    void InitialUpdate();
    // Watches the state that the worker changes while one may run.
    void WatchPlayback();
    void OnWatchTimer();
    static CStateSnapshot TakeSnapshot();

    CDocument& m_document;
    CCorvinaView* m_pView;
    QToolBar* m_pToolBar = nullptr;
    QLabel* m_pMessagePane = nullptr;
    std::map<int, QLabel*> m_indicatorPanes;
    std::map<int, QAction*> m_actions;
    // The check marks as the update rules left them; a triggered action
    // toggles its own mark, which the rules must not see.
    std::map<int, bool> m_checks;
    QAction* m_pRecentPlaceholder = nullptr;
    QAction* m_apRecentActions[CRecentFileList::kSize] = {};
    CRecentFileList m_recentFiles;
    QPointer<CHelpWindow> m_pHelpWindow;
    CQtMessagePresenter* m_pPresenter = nullptr;
    std::function<void()> m_fnShowAbout;
    QTimer m_watchTimer;
    CStateSnapshot m_snapshot;
    CLockKeyStates m_lockKeys;
    bool m_bReadLockKeys;
    bool m_bSized = false;
    bool m_bClosed = false;
};
