// The player window mode of the command-line program. The window is a program
// of its own, so that decoding and headless playback never load the Qt
// libraries (their relocations alone cost some 15 MiB of resident memory and
// tens of milliseconds at every start).
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/run_modes.h"

using namespace corvina;

namespace {

bool IsSet(const char* pszName) {
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr && *pszValue != '\0';
}

}  // namespace

int RunWindowMode(int, char** argv, const CCommandLine&) {
    // Qt would abort without a display; a platform named outright (such as
    // offscreen) needs none.
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY") && !IsSet("QT_QPA_PLATFORM")) {
        std::fputs(
            "corvina: no display for the player window; play from the terminal with "
            "'corvina --play FILE...'\n",
            stderr);
        return EXIT_UNUSABLE;
    }
    char szSelf[PATH_MAX];
    const ssize_t nLength = readlink("/proc/self/exe", szSelf, sizeof szSelf - 1);
    if (nLength <= 0) {
        std::fprintf(stderr, "corvina: cannot find the player window program: %s\n",
                     std::strerror(errno));
        return EXIT_UNUSABLE;
    }
    szSelf[nLength] = '\0';
    std::string strFolder(szSelf);
    strFolder.erase(strFolder.rfind('/') + 1);
    // Installed, the window lives with the programs that are not run by name;
    // in the build tree it sits beside this one. Both are found from this
    // program's own place, so a prefix can move as a whole.
    const std::string strInstalled = strFolder + CORVINA_WINDOW_FROM_BINDIR "/corvina-window";
    const std::string strBeside = strFolder + "corvina-window";
    const std::string& strWindow =
        access(strInstalled.c_str(), X_OK) != 0 && access(strBeside.c_str(), X_OK) == 0
            ? strBeside
            : strInstalled;
    execv(strWindow.c_str(), argv);
    std::fprintf(stderr, "corvina: cannot start %s: %s\n", strWindow.c_str(), std::strerror(errno));
    return EXIT_UNUSABLE;
}
