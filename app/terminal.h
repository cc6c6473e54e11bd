// The terminal of the headless player: raw key input while the player is in
// the terminal's foreground, and the modes put back whenever it is not.
#pragma once

#include <termios.h>

// Keys that are not plain characters.
enum : int {
    KEY_NONE = -1,
    KEY_LEFT = 0x1001,
    KEY_RIGHT = 0x1002,
};

class CRawTerminal {
  public:
    // Keys come from nFd, a terminal; bOwned closes it at the end.
    CRawTerminal(int nFd, bool bOwned) : m_nFd(nFd), m_bOwned(bOwned) {}
    // Puts the modes back.
    ~CRawTerminal();
    CRawTerminal(const CRawTerminal&) = delete;
    CRawTerminal& operator=(const CRawTerminal&) = delete;

    // Switches standard input to unbuffered input without echo (signals such
    // as Ctrl+C and Ctrl+Z still arrive), but only while the player is in the
    // terminal's foreground: a change from the background would stop it.
    // True when the terminal is raw afterwards.
    bool Claim();
    // Puts back the modes that Claim found.
    void Release();
    bool IsRaw() const { return m_bRaw; }
    // True while this process group is the terminal's foreground.
    bool IsForeground() const;
    int GetFd() const { return m_nFd; }

    // Waits at most nTimeoutMs for a key; KEY_NONE when none came.
    int ReadKey(int nTimeoutMs);
    // True once the terminal has hung up: no key will come any more.
    bool HasHungUp() const { return m_bHungUp; }

  private:
    int ReadByte(int nTimeoutMs);

    int m_nFd;
    bool m_bOwned;
    termios m_saved{};
    bool m_bRaw = false;
    bool m_bHungUp = false;
};

// The terminal that keys come from while standard output is a terminal:
// standard input, or the controlling terminal (/dev/tty) when standard input
// is a pipe (or the stream played); -1 when there is none. bOwned says the
// descriptor was opened here.
int OpenKeyTerminal(bool bStdinIsStream, bool& bOwned);
