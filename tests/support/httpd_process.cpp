#include "tests/support/httpd_process.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "tests/support/server_process.h"

Httpd::Httpd(std::vector<std::string> extra)
{
    std::vector<std::string> args = {ztBinPath("ztMediaHttpd"), "--port", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    int out[2];
    if (pipe(out) != 0)
        return;
    mPid = fork();
    if (mPid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(out[1], 1);
        std::vector<char *> argv;
        argv.reserve(args.size() + 1);
        for (auto &a : args)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    FILE *f = fdopen(out[0], "r");
    char line[256] = {};
    if (f && fgets(line, sizeof line, f))
        sscanf(line, "ztMediaHttpd: listening on http://127.0.0.1:%d/", &mPort);
    if (f)
        fclose(f);
}

Httpd::~Httpd()
{
    if (mPid > 0) {
        kill(mPid, SIGTERM);
        waitpid(mPid, nullptr, 0);
    }
}
