// Raw key input for the headless player.
#include "app/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <csignal>

#include <cerrno>

int OpenKeyTerminal(bool bStdinIsStream, bool& bOwned) {
    bOwned = false;
    if (isatty(STDOUT_FILENO) != 1) {
        return -1;
    }
    if (isatty(STDIN_FILENO) == 1) {
        return bStdinIsStream ? -1 : STDIN_FILENO;
    }
    const int nFd = open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    bOwned = nFd >= 0;
    return nFd;
}

CRawTerminal::~CRawTerminal() {
    Release();
    if (m_bOwned) {
        close(m_nFd);
    }
}

bool CRawTerminal::IsForeground() const {
    const pid_t group = tcgetpgrp(m_nFd);
    return group >= 0 && group == getpgrp();
}

bool CRawTerminal::Claim() {
    if (m_bRaw || !IsForeground()) {
        return m_bRaw;
    }
    // The modes are taken afresh each time: the shell may have changed them
    // while the player was stopped.
    if (tcgetattr(m_nFd, &m_saved) != 0) {
        return false;
    }
    termios raw = m_saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    m_bRaw = tcsetattr(m_nFd, TCSANOW, &raw) == 0;
    return m_bRaw;
}

void CRawTerminal::Release() {
    if (!m_bRaw) {
        return;
    }
    // A player moved to the background meanwhile still puts the modes back
    // rather than being stopped for it: with SIGTTOU blocked the change goes
    // through.
    sigset_t ttou;
    sigset_t old;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    pthread_sigmask(SIG_BLOCK, &ttou, &old);
    tcsetattr(m_nFd, TCSANOW, &m_saved);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    m_bRaw = false;
}

int CRawTerminal::ReadByte(int nTimeoutMs) {
    pollfd input{m_nFd, POLLIN, 0};
    if (poll(&input, 1, nTimeoutMs) <= 0) {
        return KEY_NONE;
    }
    if ((input.revents & POLLIN) != 0) {
        unsigned char c = 0;
        const ssize_t nRead = read(m_nFd, &c, 1);
        if (nRead == 1) {
            return c;
        }
        if (nRead < 0 && (errno == EINTR || errno == EAGAIN)) {
            return KEY_NONE;
        }
    }
    // A terminal that has hung up stays readable for ever; waiting out the
    // time keeps a caller that goes on asking from spinning on it.
    m_bHungUp = true;
    poll(nullptr, 0, nTimeoutMs);
    return KEY_NONE;
}

int CRawTerminal::ReadKey(int nTimeoutMs) {
    const int c = ReadByte(nTimeoutMs);
    if (c != 0x1B) {
        return c;
    }
    // The arrow keys arrive as ESC [ C and ESC [ D.
    if (ReadByte(20) != '[') {
        return KEY_NONE;
    }
    switch (ReadByte(20)) {
        case 'C':
            return KEY_RIGHT;
        case 'D':
            return KEY_LEFT;
        default:
            return KEY_NONE;
    }
}
