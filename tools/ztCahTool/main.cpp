// ztCahTool: a host program for the auto-upload candidate list, for demos, tests and by hand.
//   count --rules RULES.json                    the number of candidates (last line)
//   list --rules RULES.json [--sort SORT.json | --default-sort]
//                                               one JSON line per candidate, then {"result":R}
//   set-state DIR/FILE STATE                    records an upload state; prints the result
// Add -v before the command for the list's own log on standard error.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <cjson/cJSON.h>

#include "cah/CAHMediaList.h"
#include "cah/CompareFactory.h"
#include "gcore/GCoreLogger.h"
#include "rules_file.h"
#include "tools/common/uploadState.h"
#include "ztMedia/ztMediaDB.h"

namespace {

enum Exit { kOk = 0, kFailed = 1, kBadInput = 2 };

struct Options {
    std::string command, rulesPath, sortPath, target, state;
    bool defaultSort = false, verbose = false;
};

int usage(FILE *out, int status)
{
    std::fprintf(out, "usage: ztCahTool [-v] count --rules RULES.json\n"
                      "       ztCahTool [-v] list --rules RULES.json [--sort SORT.json | --default-sort]\n"
                      "       ztCahTool [-v] set-state DIR/FILE STATE\n"
                      "  count      prints the number of upload candidates (negative: the query failed)\n"
                      "  list       counts, sorts when asked, and prints each candidate as\n"
                      "             {\"mediaType\":N,\"files\":[...]}, then {\"result\":R}\n"
                      "  set-state  records upload state STATE (0-31) for DIR/FILE under the DCIM folder\n"
                      "             and reads it back\n"
                      "  -v         log the candidate list's messages on standard error\n"
                      "Files are JSON; see examples/upload-rules.json and examples/sort-*.json.\n"
                      "Exit status: 0 done; 1 a database call failed or a write was not recorded;\n"
                      "2 bad arguments or files.\n");
    return status;
}

bool parseArgs(int argc, char **argv, Options *o)
{
    int i = 1;
    if (i < argc && std::strcmp(argv[i], "-v") == 0) {
        o->verbose = true;
        ++i;
    }
    if (i >= argc)
        return false;
    o->command = argv[i++];
    if (o->command == "set-state") {
        if (argc - i != 2)
            return false;
        o->target = argv[i];
        o->state = argv[i + 1];
        return true;
    }
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--rules" && hasValue)
            o->rulesPath = argv[++i];
        else if (a == "--sort" && hasValue && o->command == "list")
            o->sortPath = argv[++i];
        else if (a == "--default-sort" && o->command == "list")
            o->defaultSort = true;
        else
            return false;
    }
    const bool known = o->command == "count" || o->command == "list";
    return known && !o->rulesPath.empty() && !(o->defaultSort && !o->sortPath.empty());
}

// One line naming the file (once: the reader's reasons may start with the path already).
void refuseFile(const char *what, const std::string &path, const std::string &error)
{
    const bool named = error.compare(0, path.size(), path) == 0;
    std::fprintf(stderr, "ztCahTool: %s %s%s%s\n", what, named ? "" : path.c_str(), named ? "" : ": ", error.c_str());
}

bool loadRules(const std::string &path, std::vector<UploadRule> *rules)
{
    std::string text, error;
    if (readSmallFile(path, &text, &error) && parseRules(text, rules, &error))
        return true;
    refuseFile("rules file", path, error);
    return false;
}

// The sort document's text, checked by building its comparator once before any query. What the
// list would skip without a word is kept, with a warning, so that one typing error does not go
// unseen; what the file cannot mean (more than one JSON value, a NUL) is refused.
bool loadSort(const std::string &path, std::string *text)
{
    std::string error;
    const JsonDoc doc = readSmallFile(path, text, &error) ? parseJsonText(*text, &error) : nullptr;
    if (!doc) {
        refuseFile("sort document", path, error);
        return false;
    }
    Comparinator *c = CompareFactory::create(text->c_str());
    CompareFactory::destroy(c);
    if (!c)
        std::fprintf(stderr,
                     "ztCahTool: sort document %s: not a valid sort-rule document "
                     "(a JSON object with a \"sort_rules\" array of names; see -v for why)\n",
                     path.c_str());
    else
        for (const std::string &w : sortDocumentIgnores(doc.get()))
            std::fprintf(stderr, "ztCahTool: warning: sort document %s: %s\n", path.c_str(), w.c_str());
    return c != nullptr;
}

void printMedium(const MediaShareInfo &info)
{
    struct Del {
        void operator()(cJSON *j) const { cJSON_Delete(j); }
    };
    const std::unique_ptr<cJSON, Del> line(cJSON_CreateObject());
    cJSON_AddNumberToObject(line.get(), "mediaType", info.mediaType);
    cJSON *files = cJSON_AddArrayToObject(line.get(), "files");
    for (const std::string &f : info.files)
        cJSON_AddItemToArray(files, cJSON_CreateString(f.c_str()));
    char *text = cJSON_PrintUnformatted(line.get());
    std::printf("%s\n", text ? text : "{}");
    cJSON_free(text);
}

int runCount(const Options &o)
{
    std::vector<UploadRule> rules;
    if (!loadRules(o.rulesPath, &rules))
        return kBadInput;
    CAHMediaList list;
    const int n = list.getMediaCount(rules);
    std::printf("%d\n", n);
    return n >= 0 ? kOk : kFailed;
}

int runList(const Options &o)
{
    std::vector<UploadRule> rules;
    std::string sortText;
    if (!loadRules(o.rulesPath, &rules) || (!o.sortPath.empty() && !loadSort(o.sortPath, &sortText)))
        return kBadInput;
    CAHMediaList list;
    const int n = list.getMediaCount(rules);
    if (n < 0) {
        std::fprintf(stderr, "ztCahTool: counting the candidates failed: %d\n", n);
        return kFailed;
    }
    const bool sorting = o.defaultSort || !o.sortPath.empty();
    if (sorting && list.sort(o.defaultSort ? nullptr : sortText.c_str()) != 0) {
        std::fprintf(stderr, "ztCahTool: the sort refused %s\n", o.sortPath.c_str());
        return kBadInput;
    }
    int r;
    for (;;) {
        MediaShareInfo info;
        r = list.getNextMedia(info, rules);
        if (r != 0)
            break;
        printMedium(info);
    }
    std::printf("{\"result\":%d}\n", r);
    return r == 2 ? kOk : kFailed;
}

// The list reports a write the database answered with an error, or answered short, as done; an
// upload agent must not mark media uploaded on that, so the word is read back. (A writer racing
// this one can make the check fail; that is reported too, and the caller writes again.)
bool stateRecorded(const std::string &target, uint32_t state)
{
    UploadState held = 0;
    const int rc = readUploadState(target, &held);
    if (rc != 0)
        std::fprintf(stderr, "ztCahTool: %s: the write could not be checked: reading it back failed (%d)\n",
                     target.c_str(), rc);
    else if (held != state)
        std::fprintf(stderr, "ztCahTool: %s: the database did not record state %u (it holds %u)\n", target.c_str(),
                     unsigned(state), unsigned(held));
    return rc == 0 && held == state;
}

int runSetState(const Options &o)
{
    char *end = nullptr;
    errno = 0;
    const unsigned long state = std::strtoul(o.state.c_str(), &end, 10);
    if (o.state.empty() || o.state[0] == '-' || *end || errno || state > UINT32_MAX) {
        std::fprintf(stderr, "ztCahTool: STATE must be a decimal number, not \"%s\"\n", o.state.c_str());
        return kBadInput;
    }
    CAHMediaList list;
    const int r = list.setUploadState(o.target, static_cast<UploadState>(state));
    std::printf("%d\n", r);
    return r == 0 && stateRecorded(o.target, static_cast<uint32_t>(state)) ? kOk : kFailed;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return usage(stdout, kOk);
    Options o;
    if (!parseArgs(argc, argv, &o))
        return usage(stderr, kBadInput);
    if (o.verbose)
        gcore::Logger::configDebugLog(0, 0x3F, 0xFFFFFFFF, GCORE_DEBUG_STDERR, "");
    if (o.command == "count")
        return runCount(o);
    if (o.command == "list")
        return runList(o);
    return runSetState(o);
}
