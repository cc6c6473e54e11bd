// Waiting in a test for a condition while Qt's events run.
#pragma once

#include <functional>

// Runs the event loop until fnCondition holds; false after nTimeoutMs.
bool WaitUntil(const std::function<bool()>& fnCondition, int nTimeoutMs = 5000);
