#include "plan.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "card_source.h"
#include "record_state.h"

namespace {

constexpr int kMaxRecounts = 5;

enum class Pass { Done, Retry, Busy, Recount, Refused };

// One count and hand-out. Retry: the database did not answer; Busy: it is still indexing its
// card; Recount: it changed meanwhile.
Pass onePass(std::vector<UploadRule> &rules, const std::string *sortDoc, Plan *plan, std::string *why)
{
    plan->media.clear();
    plan->refused.clear();
    if (databaseIndexing())
        return Pass::Busy;
    CAHMediaList list;
    const int n = list.getMediaCount(rules);
    if (n == -1)
        return Pass::Recount;
    if (n < 0) {
        *why = "counting the candidates failed (" + std::to_string(n) + ")";
        return Pass::Retry;
    }
    if (sortDoc && list.sort(sortDoc->c_str()) != 0) {
        *why = "the candidate list refused the sort document";
        return Pass::Refused;
    }
    for (;;) {
        MediaShareInfo info;
        const int r = list.getNextMedia(info, rules);
        if (r == 2)
            return Pass::Done;
        if (r == 3)
            return Pass::Recount;
        if (r != 0) {
            *why = "handing out the candidates failed (" + std::to_string(r) + ")";
            return Pass::Retry;
        }
        PlannedMedium m;
        m.mediaType = info.mediaType;
        for (const std::string &path : info.files) {
            std::string rel;
            if (cardRelativePath(path, &rel))
                m.files.push_back(rel);
            else
                plan->refused.push_back(path);
        }
        if (m.files.size() == info.files.size() && !m.files.empty())
            plan->media.push_back(std::move(m));
    }
}

}  // namespace

bool buildPlan(std::vector<UploadRule> rules, const std::string *sortDoc, unsigned waitSec, Plan *plan,
               std::string *why)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSec);
    unsigned pauseMs = 100;
    bool told = false;
    for (int recounts = 0;;) {
        switch (onePass(rules, sortDoc, plan, why)) {
        case Pass::Done: return true;
        case Pass::Refused: return false;
        case Pass::Recount:
            if (++recounts > kMaxRecounts) {
                *why = "the media database kept changing while the candidates were handed out";
                return false;
            }
            continue;
        case Pass::Retry: break;
        case Pass::Busy:
            // A server reading its card answers and will be done: waited for however long it
            // takes, and the time it answers nothing is counted from then.
            if (!told)
                std::fprintf(stderr, "ztOffload: waiting for the media database to index its card\n");
            told = true;
            deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSec);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            *why += "; the database did not answer for " + std::to_string(waitSec) + " s";
            return false;
        }
        usleep(pauseMs * 1000);
        pauseMs = pauseMs < 1600 ? pauseMs * 2 : pauseMs;
    }
}
