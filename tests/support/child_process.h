// Runs a program of the build as a child process with a time limit and
// collects what it writes.
#pragma once

#include <string>
#include <vector>

struct CChildResult {
    bool bTimedOut = false;
    int nExitStatus = -1;  // -1 when it did not exit normally
    int nSignal = 0;       // the signal that ended it, if any
    std::string strOut;
    std::string strErr;
};

// argv[0] is the program's path. Standard input is /dev/null. A child still
// running after nTimeoutMs is killed and reported as timed out.
CChildResult RunChild(const std::vector<std::string>& args, int nTimeoutMs = 60000);
// As RunChild, and sends nSignal to the child once nAfterMs have passed.
CChildResult RunChildAndSignal(const std::vector<std::string>& args, int nSignal, int nAfterMs,
                               int nTimeoutMs = 60000);
