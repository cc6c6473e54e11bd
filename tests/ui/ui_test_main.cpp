// The window tests' entry: the offscreen platform and private user folders,
// so no test touches the desktop or the files of whoever runs it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("CORVINA_OUTPUT", "null", 1);
    // The windows made here stay off the desktop's session bus.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    std::string strBase = (std::filesystem::temp_directory_path() / "corvina-ui-XXXXXX").string();
    if (mkdtemp(strBase.data()) == nullptr) {
        return 1;
    }
    setenv("XDG_RUNTIME_DIR", strBase.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (strBase + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (strBase + "/data").c_str(), 1);

    int nResult = 0;
    {
        QApplication application(argc, argv);
        testing::InitGoogleTest(&argc, argv);
        nResult = RUN_ALL_TESTS();
    }
    std::error_code error;
    std::filesystem::remove_all(strBase, error);
    return nResult;
}
