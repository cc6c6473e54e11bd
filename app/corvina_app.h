// The application: joins the document, the main window and its view, the
// message boxes and the single-instance hand-over, and carries out the
// command line at start-up.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"

class CCorvinaDoc;
class CInstanceServer;
class CMainFrame;
class CQtMessagePresenter;

// Made after the QApplication, on its thread.
class CCorvinaApp {
  public:
    CCorvinaApp();
    ~CCorvinaApp();
    CCorvinaApp(const CCorvinaApp&) = delete;
    CCorvinaApp& operator=(const CCorvinaApp&) = delete;

    // The start-up steps: the recent files, the document with its window,
    // the media controls and the hand-over, then the command line (a file
    // opened, not played, or the empty document). False when the command
    // line could not be carried out; the program then ends. Several files
    // fill the queue.
    bool InitInstance(const CCommandLine& commandLine);
    // Shows the about box, modal.
    void OnAppAbout();

    CMainFrame* GetMainFrame() const { return m_pMainFrame.get(); }
    CCorvinaDoc* GetDocument() const { return m_pDocument.get(); }
    CInstanceServer* GetInstanceServer() const { return m_pInstanceServer.get(); }

  private:
    void OnHandOver(const std::vector<std::string>& files);

    std::unique_ptr<CQtMessagePresenter> m_pPresenter;
    std::unique_ptr<CCorvinaDoc> m_pDocument;
    std::unique_ptr<CMainFrame> m_pMainFrame;
    std::unique_ptr<CInstanceServer> m_pInstanceServer;
};
