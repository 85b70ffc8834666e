// Runs a shell command line and collects its standard output, byte for byte (popen). Returns
// the exit status (128 + signal when killed, -1 when it could not be run). Any thread.
#ifndef ZT_TEST_RUN_COMMAND_H
#define ZT_TEST_RUN_COMMAND_H

#include <string>

int runCommand(const std::string &commandLine, std::string *out);

#endif
