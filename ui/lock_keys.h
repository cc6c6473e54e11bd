// The states of the Caps, Num and Scroll Lock keys, for the status bar.
#pragma once

struct CLockKeyStates {
    bool bCapsLock = false;
    bool bNumLock = false;
    bool bScrollLock = false;
    bool operator==(const CLockKeyStates&) const = default;
};

// Read from the keyboard lights that the kernel exposes; all off where
// there are none to read.
CLockKeyStates ReadLockKeyStates();
