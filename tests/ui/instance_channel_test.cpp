// The hand-over from a second start to the running window.
#include "ui/instance_channel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QProcess>
#include <cstring>
#include <thread>

#include "player/corvina_doc.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/main_frame.h"
#include "ui/user_paths.h"

using namespace corvina;

namespace {

// A socket file with nobody behind it, as a crashed window leaves it.
void LeaveStaleSocket(const std::string& strPath) {
    const int nSocket = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(nSocket, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, strPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(nSocket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(nSocket);
    struct stat info {};
    ASSERT_EQ(stat(strPath.c_str(), &info), 0);
}

}  // namespace

TEST(InstanceChannel, SecondStartHandsItsFileToTheRunningWindowAndEnds) {
    CRecordingPresenter presenter;
    CTempDir dir;
    const std::string strFile = dir.Write("handed over.mp2", {0xFF, 0xFD});
    CCorvinaDoc document;
    CMainFrame frame(document, dir.File("corvina.ini"));
    CInstanceServer server(
        [&](const std::vector<std::string>& files) { frame.OpenDocumentFiles(files); });
    ASSERT_TRUE(server.Listen());

    // The real program, started with a path relative to its own folder.
    QProcess second;
    second.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
    second.start(QStringLiteral(CORVINA_EXECUTABLE), {QStringLiteral("handed over.mp2")});
    ASSERT_TRUE(second.waitForStarted(5000));
    ASSERT_TRUE(WaitUntil([&] { return second.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return document.GetPathName() == strFile; }));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Kyx MPEG Audio Player - handed over.mp2"));
}

TEST(InstanceChannel, StaleSocketOfACrashedWindowIsReplaced) {
    const std::string strSocket = GetInstanceSocketPath();
    ASSERT_FALSE(strSocket.empty());
    LeaveStaleSocket(strSocket);
    // Nobody answers there.
    EXPECT_FALSE(HandOverToRunningInstance({"/x.mp2"}, 500));

    std::vector<std::vector<std::string>> received;
    CInstanceServer server(
        [&](const std::vector<std::string>& files) { received.push_back(files); });
    ASSERT_TRUE(server.Listen());
    bool bHandedOver = false;
    const std::vector<std::string> files{"/music/a b.mp2", "/music/2.mp2", "/music/10.mp2"};
    std::thread client([&] { bHandedOver = HandOverToRunningInstance(files); });
    ASSERT_TRUE(WaitUntil([&] { return received.size() == 1; }));
    client.join();
    EXPECT_TRUE(bHandedOver);
    EXPECT_EQ(received[0], files);

    // A second window does not take the socket from the first.
    CInstanceServer second([](const std::vector<std::string>&) {});
    EXPECT_FALSE(second.Listen());
    EXPECT_TRUE(server.IsListening());
}

TEST(InstanceChannel, EmptyRequestOnlyBringsTheWindowForward) {
    std::vector<std::vector<std::string>> received;
    CInstanceServer server(
        [&](const std::vector<std::string>& files) { received.push_back(files); });
    ASSERT_TRUE(server.Listen());
    bool bHandedOver = false;
    std::thread client([&] { bHandedOver = HandOverToRunningInstance({}); });
    ASSERT_TRUE(WaitUntil([&] { return received.size() == 1; }));
    client.join();
    EXPECT_TRUE(bHandedOver);
    EXPECT_TRUE(received[0].empty());
}

TEST(InstanceChannel, RuntimeFolderFallsBackToAPrivateFolderInTmp) {
    const std::string strOld = getenv("XDG_RUNTIME_DIR");
    unsetenv("XDG_RUNTIME_DIR");
    const std::string strFolder = GetUserRuntimeFolder();
    setenv("XDG_RUNTIME_DIR", strOld.c_str(), 1);
    EXPECT_EQ(strFolder, "/tmp/corvina-" + std::to_string(getuid()));
    struct stat info {};
    ASSERT_EQ(lstat(strFolder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 077, 0u);
    EXPECT_EQ(GetInstanceSocketPath(), strOld + "/corvina-instance");
}
