// The menu bar.
#include "ui/frame_menus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "resources/command_table.h"
#include "ui/command_router.h"
#include "ui/qt_strings.h"

CFrameMenus::CFrameMenus(QMenuBar* pMenuBar, CCommandRouter& router) {
    CreateRecentFileActions(pMenuBar, router);
    for (const CMenuInfo& menu : GetMenus()) {
        QMenu* pMenu = pMenuBar->addMenu(QString::fromUtf8(menu.pszTitle));
        // The rules run before the menu opens, as the menu shows them.
        QObject::connect(pMenu, &QMenu::aboutToShow, &router, &CCommandRouter::UpdateCommandStates);
        for (int nID : menu.items) {
            if (nID == 0) {
                pMenu->addSeparator();
            } else if (nID == ID_FILE_MRU_FILE1) {
                for (QAction* pAction : m_apRecentActions) {
                    pMenu->addAction(pAction);
                }
                pMenu->addAction(m_pRecentPlaceholder);
            } else {
                pMenu->addAction(router.GetAction(nID));
            }
        }
    }
}

void CFrameMenus::CreateRecentFileActions(QMenuBar* pMenuBar, CCommandRouter& router) {
    const CCommandInfo* pRecent = FindCommand(ID_FILE_MRU_FILE1);
    const QString strPrompt = FromUtf8(StatusPrompt(*pRecent));
    m_pRecentPlaceholder = new QAction(QString::fromUtf8(pRecent->pszMenuText), pMenuBar);
    m_pRecentPlaceholder->setEnabled(false);
    m_pRecentPlaceholder->setStatusTip(strPrompt);
    for (int i = 0; i < CRecentFileList::kSize; ++i) {
        auto* pAction = new QAction(pMenuBar);
        pAction->setStatusTip(strPrompt);
        pAction->setWhatsThis(strPrompt);
        pAction->setVisible(false);
        router.AddAction(ID_FILE_MRU_FILE1 + i, pAction);
        m_apRecentActions[i] = pAction;
    }
}

void CFrameMenus::ShowRecentFiles(const std::vector<std::string>& files) {
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

QString RecentFileMenuText(int nIndex, const std::string& strPath) {
    QString strShown = FromFileName(strPath);
    constexpr int kMaxShown = 60;
    if (strShown.size() > kMaxShown) {
        strShown = strShown.left(20) + QStringLiteral("...") + strShown.right(kMaxShown - 23);
    }
    strShown.replace('&', QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(nIndex + 1).arg(strShown);
}
