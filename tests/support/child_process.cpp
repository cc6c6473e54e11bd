// Child processes for the tests that run the real binary.
#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace {

CChildResult Run(const std::vector<std::string>& args, int nTimeoutMs, int nSignal, int nAfterMs) {
    CChildResult result;
    int nOut[2];
    int nErr[2];
    if (pipe2(nOut, O_CLOEXEC) != 0 || pipe2(nErr, O_CLOEXEC) != 0) {
        return result;
    }
    std::vector<char*> argv;
    for (const std::string& strArg : args) {
        argv.push_back(const_cast<char*>(strArg.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t nPid = fork();
    if (nPid == 0) {
        const int nNull = open("/dev/null", O_RDONLY);
        dup2(nNull, STDIN_FILENO);
        dup2(nOut[1], STDOUT_FILENO);
        dup2(nErr[1], STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(nOut[1]);
    close(nErr[1]);
    using std::chrono::milliseconds;
    const auto tStart = std::chrono::steady_clock::now();
    const auto deadline = tStart + milliseconds(nTimeoutMs);
    const auto tSignal = tStart + milliseconds(nAfterMs);
    bool bSignalDue = nSignal != 0;
    pollfd fds[2] = {{nOut[0], POLLIN, 0}, {nErr[0], POLLIN, 0}};
    std::string* pTargets[2] = {&result.strOut, &result.strErr};
    int nOpen = 2;
    while (nOpen > 0) {
        const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(
                               deadline - std::chrono::steady_clock::now())
                               .count();
        if (nLeft <= 0) {
            result.bTimedOut = true;
            kill(nPid, SIGKILL);
            break;
        }
        long nWait = nLeft;
        if (bSignalDue) {
            const auto nUntilSignal =
                std::chrono::duration_cast<milliseconds>(tSignal - std::chrono::steady_clock::now())
                    .count();
            if (nUntilSignal <= 0) {
                kill(nPid, nSignal);
                bSignalDue = false;
                continue;
            }
            nWait = std::min(nWait, static_cast<long>(nUntilSignal));
        }
        if (poll(fds, 2, static_cast<int>(nWait)) < 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            char buffer[65536];
            const ssize_t nRead = read(fds[i].fd, buffer, sizeof buffer);
            if (nRead > 0) {
                pTargets[i]->append(buffer, static_cast<std::size_t>(nRead));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --nOpen;
            }
        }
    }
    for (const pollfd& fd : fds) {
        if (fd.fd >= 0) {
            close(fd.fd);
        }
    }
    int nStatus = 0;
    waitpid(nPid, &nStatus, 0);
    if (WIFEXITED(nStatus)) {
        result.nExitStatus = WEXITSTATUS(nStatus);
    } else if (WIFSIGNALED(nStatus)) {
        result.nSignal = WTERMSIG(nStatus);
    }
    return result;
}

}  // namespace

CChildResult RunChild(const std::vector<std::string>& args, int nTimeoutMs) {
    return Run(args, nTimeoutMs, 0, 0);
}

CChildResult RunChildAndSignal(const std::vector<std::string>& args, int nSignal, int nAfterMs,
                               int nTimeoutMs) {
    return Run(args, nTimeoutMs, nSignal, nAfterMs);
}
