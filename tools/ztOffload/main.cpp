// ztOffload: copies the media that await upload off the card into a folder, durably, and records
// them as offloaded in the media database.
//   ztOffload --card DIR --to DEST [--rules FILE] [--sort FILE] [--layout folder|date] [--once | --follow]
// Without --once or --follow it waits for one offload event on /to_wom and acts on it.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "cah/CompareFactory.h"
#include "event_wait.h"
#include "offload_run.h"
#include "tools/ztCahTool/rules_file.h"

namespace {

volatile std::sig_atomic_t gStop = 0;

enum class Mode { WaitOnce, Once, Follow };

int usage(FILE *out, int status)
{
    std::fprintf(out, "usage: ztOffload --card DIR --to DEST [--rules RULES.json] [--sort SORT.json]\n"
                      "                 [--layout folder|date] [--once | --follow]\n"
                      "  --card    the card's folder (it holds DCIM/), the one ztMediaDBd --card serves\n"
                      "  --to      where the media go: DEST/CAMERA-FOLDER/FILE, or DEST/YYYY-MM-DD/FILE\n"
                      "            with --layout date (the day the medium was written, local time)\n"
                      "  --rules   upload rules (default: every medium in upload state 0 or 3)\n"
                      "  --sort    sort-rule document for the order (default: the list's order)\n"
                      "  --once    offload now; without it, wait for the offload event on /to_wom\n"
                      "  --follow  wait for offload events and offload after each, until stopped\n"
                      "Exit status: 0 all offloaded, 1 some media not offloaded, 2 bad arguments or\n"
                      "files, 3 stopped early (DEST full, card removed, database gone, signal).\n");
    return status;
}

bool parseArgs(int argc, char **argv, RunOptions *o, Mode *mode, std::string *rulesPath, std::string *sortPath)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        std::string *target = a == "--card"    ? &o->card
                              : a == "--to"    ? &o->dest
                              : a == "--rules" ? rulesPath
                              : a == "--sort"  ? sortPath
                                               : nullptr;
        if (target && value) {
            *target = value;
            ++i;
        } else if (a == "--layout" && value && (std::strcmp(value, "folder") == 0 || std::strcmp(value, "date") == 0)) {
            o->layout = std::strcmp(value, "date") == 0 ? Layout::Date : Layout::Folder;
            ++i;
        } else if ((a == "--once" || a == "--follow") && *mode == Mode::WaitOnce) {
            *mode = a == "--once" ? Mode::Once : Mode::Follow;
        } else {
            return false;
        }
    }
    return !o->card.empty() && !o->dest.empty();
}

// Every medium of upload state 0 or 3: the states the boot-time check reports as awaiting upload.
std::vector<UploadRule> defaultRules()
{
    std::vector<UploadRule> rules(3);
    rules[1].isStateRule = rules[2].isStateRule = true;
    rules[1].kind = 11;
    rules[2].kind = 14;
    return rules;
}

bool loadInputs(const std::string &rulesPath, const std::string &sortPath, RunOptions *o)
{
    std::string text, error;
    if (rulesPath.empty()) {
        o->rules = defaultRules();
    } else if (!readSmallFile(rulesPath, &text, &error) || !parseRules(text, &o->rules, &error)) {
        std::fprintf(stderr, "ztOffload: rules file %s: %s\n", rulesPath.c_str(), error.c_str());
        return false;
    }
    if (sortPath.empty())
        return true;
    Comparinator *c =
        readSmallFile(sortPath, &o->sortDoc, &error) ? CompareFactory::create(o->sortDoc.c_str()) : nullptr;
    CompareFactory::destroy(c);
    if (!c)
        std::fprintf(stderr, "ztOffload: sort document %s: %s\n", sortPath.c_str(),
                     error.empty() ? "not a valid sort-rule document" : error.c_str());
    o->sorted = c != nullptr;
    return o->sorted;
}

void onSignal(int) { gStop = 1; }

void catchStopSignals()
{
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// Waits for events and runs on each "media to upload"; returns after one event unless following.
int waitAndRun(const RunOptions &o, bool follow)
{
    int status = kRunAllDone;
    for (;;) {
        std::string why;
        const long code = waitOffloadEvent(gStop, &why);
        if (code < 0) {
            if (!why.empty())
                std::fprintf(stderr, "ztOffload: %s\n", why.c_str());
            return why.empty() ? status : kRunStopped;
        }
        std::printf("ztOffload: offload event %ld (%s)\n", code,
                    code == kEventMedia     ? "media to upload"
                    : code == kEventNothing ? "nothing to upload"
                    : code == kEventFailed  ? "the media check failed"
                                            : "unknown: ignored");
        std::fflush(stdout);
        if (code == kEventMedia)
            status = runOffload(o, gStop);
        else if (code == kEventFailed)
            status = kRunSomeFailed;
        else if (code != kEventNothing)
            continue;
        if (!follow || gStop)
            return status;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return usage(stdout, 0);
    RunOptions o;
    Mode mode = Mode::WaitOnce;
    std::string rulesPath, sortPath;
    if (!parseArgs(argc, argv, &o, &mode, &rulesPath, &sortPath))
        return usage(stderr, kRunBadInput);
    if (!loadInputs(rulesPath, sortPath, &o))
        return kRunBadInput;
    catchStopSignals();
    if (mode == Mode::Once)
        return runOffload(o, gStop);
    return waitAndRun(o, mode == Mode::Follow);
}
