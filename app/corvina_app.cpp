// The application.
#include "app/corvina_app.h"

#include <QCoreApplication>

#include "app/about_dlg.h"
#include "platform/message_presenter.h"
#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "player/playback_control.h"
#include "ui/instance_channel.h"
#include "ui/main_frame.h"
#include "ui/mpris_service.h"
#include "ui/qt_message_presenter.h"

using namespace corvina;

CCorvinaApp::CCorvinaApp() = default;

CCorvinaApp::~CCorvinaApp() {
    m_pInstanceServer.reset();
    // Waiters go first, then the worker, then the window and the document.
    if (m_pPresenter != nullptr) {
        m_pPresenter->Shutdown();
    }
    ShutdownPlayback();
    m_pMainFrame.reset();
    SetMessagePresenter(nullptr);
    m_pDocument.reset();
    m_pPresenter.reset();
}

bool CCorvinaApp::InitInstance(const CCommandLine& commandLine) {
    m_pPresenter = std::make_unique<CQtMessagePresenter>();
    SetMessagePresenter(m_pPresenter.get());

    m_pDocument = std::make_unique<CCorvinaDoc>();
    m_pMainFrame = std::make_unique<CMainFrame>(*m_pDocument);
    // What the command line asks for wins over the kept choice, for this run.
    if (commandLine.bReplayGainGiven) {
        SetReplayGainMode(commandLine.eReplayGain);
    }
    if (commandLine.bChannelGiven) {
        g_nDualChannel = static_cast<int>(commandLine.choices.eDual);
    }
    m_pMainFrame->SetPresenter(m_pPresenter.get());
    m_pMainFrame->SetAboutHandler([this] { OnAppAbout(); });
    // Quitting by any way ends the worker too.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, m_pMainFrame.get(), [this] {
        m_pPresenter->Shutdown();
        ShutdownPlayback();
    });

    // The desktop's media controls reach the window, and a later start hands
    // its file to it.
    new CMprisService(*m_pMainFrame, *m_pDocument, m_pMainFrame.get());
    m_pInstanceServer = std::make_unique<CInstanceServer>(
        [this](const std::vector<std::string>& files) { OnHandOver(files); });
    m_pInstanceServer->Listen();

    std::vector<std::string> files = commandLine.files;
    if (files.empty() && !commandLine.strFile.empty()) {
        files.push_back(commandLine.strFile);
    }
    const bool bStarted =
        files.empty() ? m_pMainFrame->NewDocument() : m_pMainFrame->OpenDocumentFiles(files);
    if (!bStarted) {
        return false;
    }
    // Drops are accepted by the window itself.
    m_pMainFrame->show();
    return true;
}

void CCorvinaApp::OnAppAbout() {
    CAboutDlg dialog(m_pMainFrame.get());
    dialog.exec();
}

void CCorvinaApp::OnHandOver(const std::vector<std::string>& files) {
    m_pMainFrame->ActivateFrame();
    if (!files.empty()) {
        m_pMainFrame->OpenDocumentFiles(files);
    }
}
