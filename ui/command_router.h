// The command router: one action per command of the menus and the toolbar,
// and every way in (menu, toolbar, keys, calls) carried to the window or the
// document only when the command's update rule enables it.
#pragma once

#include <QObject>
#include <map>

#include "platform/cmd_ui.h"

class CDocument;
class QAction;
class QActionGroup;
class QWidget;

// The commands that the window carries out itself; asked before the
// document.
class CFrameCommandTarget {
  public:
    virtual ~CFrameCommandTarget() = default;
    // The update rule of a window command; false when nID is none.
    virtual bool UpdateFrameCommand(CCmdUI& cmdUI) = 0;
    // Carries a window command out; false when nID is none.
    virtual bool OnFrameCommand(int nID) = 0;
};

class CCommandRouter : public QObject {
    Q_OBJECT

  public:
    // Creates the actions of every command in the menu and toolbar tables.
    CCommandRouter(CDocument& document, CFrameCommandTarget& target, QObject* pParent);

    // Routes an action made elsewhere (a recent file's) as command nID.
    void AddAction(int nID, QAction* pAction);
    // The keys of the accelerator table, active in pWindow.
    void CreateAccelerators(QWidget* pWindow);
    // The action of a command, or null.
    QAction* GetAction(int nID) const;

    // Carries a command out: its update rule is asked once, and a disabled
    // command does nothing. True when it was carried out.
    bool RunCommand(int nID);
    // What the command's update rule says now.
    bool IsEnabled(int nID);
    // Moves the playing position to dSeconds into the stream: a move like
    // Fast Forward and Rewind, allowed by their rule. True when it was made.
    bool RunMove(double dSeconds);
    // Runs every update rule and shows the results on the actions.
    void UpdateCommandStates();

  signals:
    // A command (or a move, as ID_PLAY_FAST_FORWARD) has been carried out.
    void CommandRun(int nID);

  private:
    QAction* CreateAction(int nID);
    void UpdateCommand(CCmdUI& cmdUI);
    void OnActionTriggered(int nID);

    CDocument& m_document;
    CFrameCommandTarget& m_target;
    std::map<int, QAction*> m_actions;
    QActionGroup* m_pChannelGroup = nullptr;
    QActionGroup* m_pTrackGroup = nullptr;
    // The check marks as the update rules left them; a triggered action
    // toggles its own mark, which the rules must not see.
    std::map<int, bool> m_checks;
};
