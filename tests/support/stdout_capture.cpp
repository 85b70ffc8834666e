#include "tests/support/stdout_capture.h"

#include <unistd.h>

#include <cstdio>

std::string captureStdout(const std::function<void()> &fn)
{
    std::fflush(stdout);
    FILE *tmp = std::tmpfile();
    const int saved = dup(STDOUT_FILENO);
    if (!tmp || saved < 0 || dup2(fileno(tmp), STDOUT_FILENO) < 0) {
        if (tmp)
            std::fclose(tmp);
        if (saved >= 0)
            close(saved);
        return "captureStdout: redirection failed";
    }
    fn();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string out;
    std::rewind(tmp);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, tmp)) > 0;)
        out.append(buf, n);
    std::fclose(tmp);
    return out;
}
