// The main window: the player view with the menu bar, accelerators, toolbar
// and status bar around it, and the framework's services (the open dialog,
// the recent-file list, dropped files, help). What the engine changes
// reaches it as engine events.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "player/corvina_doc.h"
#include "ui/command_router.h"
#include "ui/help_window.h"
#include "ui/recent_file_list.h"

class QAction;
class QLabel;
class QToolBar;
class CCorvinaView;
class CEngineEventRelay;
class CFrameMenus;
class CFrameStatusBar;
class CPlayProgress;
class CQtMessagePresenter;

class CMainFrame : public QMainWindow, public CFrameCommandTarget {
    Q_OBJECT

  public:
    // The recent-file list and the kept audio choices live in strIniPath;
    // the choices are restored here.
    explicit CMainFrame(CCorvinaDoc& document, const std::string& strIniPath = GetDefaultIniPath(),
                        QWidget* pParent = nullptr);
    ~CMainFrame() override;

    // The open path of every way in: the File menu, the recent files, the
    // command line, the hand-over and dropped files. One file brings the
    // rest of its folder into the queue, a playlist its entries. False when
    // the document refused (its own message has been shown).
    bool OpenDocumentFile(const std::string& strPath);
    // Several files at once fill the queue in their order.
    bool OpenDocumentFiles(const std::vector<std::string>& paths);
    // The empty document "Untitled".
    bool NewDocument();

    // Carries a command out as the menu, toolbar and keys do: only when its
    // update rule enables it. True when it was carried out.
    bool RunCommand(int nID) { return m_pRouter->RunCommand(nID); }
    // Runs every update rule and shows the results on the menu items and
    // toolbar buttons.
    void UpdateCommandStates() { m_pRouter->UpdateCommandStates(); }
    // Brings the window to the front.
    void ActivateFrame();

    // The presenter whose waiting threads closing the window releases.
    void SetPresenter(CQtMessagePresenter* pPresenter) { m_pPresenter = pPresenter; }
    void SetAboutHandler(std::function<void()> fnShowAbout) {
        m_fnShowAbout = std::move(fnShowAbout);
    }

    CCorvinaDoc& GetDocument() const { return m_document; }
    CCommandRouter& GetRouter() const { return *m_pRouter; }
    // The open file's name, playing time, position and state, as shown.
    CPlayProgress& GetProgress() const { return *m_pProgress; }
    CCorvinaView* GetView() const { return m_pView; }
    QToolBar* GetToolBar() const { return m_pToolBar; }
    // The action of a command in the menus and the toolbar, or null.
    QAction* GetAction(int nID) const { return m_pRouter->GetAction(nID); }
    QAction* GetRecentFileAction(int nIndex) const;
    QAction* GetRecentFilePlaceholder() const;
    const CRecentFileList& GetRecentFiles() const { return m_recentFiles; }
    QLabel* GetMessagePane() const;
    // "2 / 7": the entry in hand and the queue's length; hidden for one.
    QLabel* GetQueuePane() const;
    QLabel* GetIndicatorPane(int nID) const;
    CHelpWindow* GetHelpWindow() const { return m_pHelpWindow; }

    // The window's own commands, asked by the router before the document.
    bool UpdateFrameCommand(CCmdUI& cmdUI) override;
    bool OnFrameCommand(int nID) override;

  protected:
    void closeEvent(QCloseEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;
    bool event(QEvent* pEvent) override;

  private:
    void OnFileOpen();
    // Asks for an address and opens it.
    void OnFileOpenLocation();
    void OnOpenRecentFile(int nIndex);
    void OnHelp();
    void UpdateTitle();
    // Shows the document's entry: its name, title and place in the queue.
    void ShowDocument();
    // The recent files take what the user opened.
    void AddRecentFile(const std::string& strPath);
    // The window's size, set once: 352 wide, the view 110 high.
    void InitialUpdate();
    // The engine's events, on this thread.
    void OnPlayStateChanged();
    void OnDecoderChanged();

    CCorvinaDoc& m_document;
    CCorvinaView* m_pView;
    CCommandRouter* m_pRouter;
    std::unique_ptr<CFrameMenus> m_pMenus;
    QToolBar* m_pToolBar = nullptr;
    CFrameStatusBar* m_pStatusBar = nullptr;
    CEngineEventRelay* m_pEngineEvents = nullptr;
    CPlayProgress* m_pProgress = nullptr;
    CRecentFileList m_recentFiles;
    QPointer<CHelpWindow> m_pHelpWindow;
    CQtMessagePresenter* m_pPresenter = nullptr;
    std::function<void()> m_fnShowAbout;
    // The entry shown, so a command that moved the queue is seen.
    std::string m_strShownPath;
    std::size_t m_nShownIndex = 0;
    bool m_bSized = false;
    bool m_bClosed = false;
};
