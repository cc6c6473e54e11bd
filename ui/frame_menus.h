// The menu bar, built from the menu table with the router's actions; the
// File menu's recent-file items stand where the table puts them.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "ui/recent_file_list.h"

class QAction;
class QMenuBar;
class CCommandRouter;

class CFrameMenus {
  public:
    CFrameMenus(QMenuBar* pMenuBar, CCommandRouter& router);

    // Shows the files, most recent first, in the recent-file items, or the
    // greyed placeholder when there are none.
    void ShowRecentFiles(const std::vector<std::string>& files);

    QAction* GetRecentFileAction(int nIndex) const { return m_apRecentActions[nIndex]; }
    QAction* GetRecentFilePlaceholder() const { return m_pRecentPlaceholder; }

  private:
    void CreateRecentFileActions(QMenuBar* pMenuBar, CCommandRouter& router);

    QAction* m_pRecentPlaceholder = nullptr;
    QAction* m_apRecentActions[CRecentFileList::kSize] = {};
};

// "&1 /music/a.mp2"; a long path keeps its start and its file name.
QString RecentFileMenuText(int nIndex, const std::string& strPath);
