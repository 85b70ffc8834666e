// Runs a function with standard output redirected into a temporary file and returns what it
// printed, byte for byte (stdio flushed on both sides). Process-wide: main thread only.
#ifndef ZT_TEST_STDOUT_CAPTURE_H
#define ZT_TEST_STDOUT_CAPTURE_H

#include <functional>
#include <string>

std::string captureStdout(const std::function<void()> &fn);

#endif
