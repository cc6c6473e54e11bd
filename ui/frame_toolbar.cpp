// The toolbar.
#include "ui/frame_toolbar.h"

#include <QMainWindow>
#include <QToolBar>

#include "resources/command_table.h"
#include "ui/command_router.h"

QToolBar* CreateFrameToolBar(QMainWindow& window, CCommandRouter& router) {
    auto* pToolBar = new QToolBar(&window);
    pToolBar->setObjectName(QStringLiteral("toolbar"));
    pToolBar->setMovable(false);
    pToolBar->setFloatable(false);
    pToolBar->setIconSize(QSize(16, 15));
    pToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (int nID : GetToolbar()) {
        if (nID == 0) {
            pToolBar->addSeparator();
        } else {
            pToolBar->addAction(router.GetAction(nID));
        }
    }
    window.addToolBar(Qt::TopToolBarArea, pToolBar);
    return pToolBar;
}
