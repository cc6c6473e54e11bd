// The terminal of the headless player: raw key input and one status line.
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
    // Switches standard input to unbuffered input without echo; signals such
    // as Ctrl+C still arrive. Restored by the destructor.
    CRawTerminal();
    ~CRawTerminal();
    CRawTerminal(const CRawTerminal&) = delete;
    CRawTerminal& operator=(const CRawTerminal&) = delete;

    // Waits at most nTimeoutMs for a key; KEY_NONE when none came.
    int ReadKey(int nTimeoutMs);
    // True once the terminal has hung up: no key will come any more.
    bool HasHungUp() const { return m_bHungUp; }

  private:
    int ReadByte(int nTimeoutMs);

    termios m_saved{};
    bool m_bRaw = false;
    bool m_bHungUp = false;
};

// True when both standard input and standard output are terminals.
bool IsInteractiveTerminal();
