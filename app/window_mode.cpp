// The player window mode: corvina [FILE].
#include <QApplication>
#include <string>
#include <vector>

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
    QApplication::setDesktopFileName(QString::fromUtf8(kDesktopId));
    QApplication::setWindowIcon(GetProgramIcon());

    // A window that runs already takes the files and comes to the front.
    std::vector<std::string> files;
    for (const std::string& strFile : commandLine.files) {
        files.push_back(MakeAbsolutePath(strFile));
    }
    if (HandOverToRunningInstance(files)) {
        return EXIT_DECODED;
    }
    CCorvinaApp app;
    if (!app.InitInstance(commandLine)) {
        return EXIT_UNUSABLE;
    }
    return QApplication::exec();
}
