// The player window mode: corvina [FILE].
#include <QApplication>
#include <QFile>
#include <cstdlib>

#include "app/corvina_app.h"
#include "app/run_modes.h"
#include "resources/command_table.h"
#include "ui/instance_channel.h"
#include "ui/program_icon.h"
#include "ui/user_paths.h"

using namespace corvina;

int RunWindowMode(int argc, char** argv, const CCommandLine& commandLine) {
    int nArgc = argc;
    QApplication application(nArgc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kAppTitle));
    QApplication::setDesktopFileName(QStringLiteral("corvina"));
    QApplication::setWindowIcon(GetProgramIcon());

    // A window that runs already takes the file and comes to the front.
    if (HandOverToRunningInstance(MakeAbsolutePath(commandLine.strFile))) {
        return EXIT_DECODED;
    }
    // Started by corvina for the window, the desktop entry names corvina.
    const char* pszLauncher = std::getenv("CORVINA_LAUNCHER");
    const QByteArray executable = pszLauncher != nullptr && *pszLauncher != '\0'
                                      ? QByteArray(pszLauncher)
                                      : QFile::encodeName(QCoreApplication::applicationFilePath());
    CCorvinaApp app;
    if (!app.InitInstance(commandLine, executable.toStdString())) {
        return EXIT_UNUSABLE;
    }
    return QApplication::exec();
}
