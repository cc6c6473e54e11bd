// The toolbar: the toolbar table's commands as the router's actions, fixed
// at the top of the window.
#pragma once

class QMainWindow;
class QToolBar;
class CCommandRouter;

QToolBar* CreateFrameToolBar(QMainWindow& window, CCommandRouter& router);
