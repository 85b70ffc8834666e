#include "tests/support/run_command.h"

#include <sys/wait.h>

#include <cstdio>

int runCommand(const std::string &commandLine, std::string *out)
{
    out->clear();
    FILE *p = popen(commandLine.c_str(), "r");
    if (!p)
        return -1;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        out->append(buf, n);
    int status = pclose(p);
    if (status < 0)
        return -1;
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}
