// What to offload, in the order the candidate list decides: count under the rules, sort when a
// sort document is given, then hand out every candidate. The whole list is taken before copying,
// so a copy that takes minutes never meets a list the database has moved on from meanwhile.
#ifndef ZT_TOOLS_OFFLOAD_PLAN_H
#define ZT_TOOLS_OFFLOAD_PLAN_H

#include <cstdint>
#include <string>
#include <vector>

#include "cah/CAHMediaList.h"

struct PlannedMedium {
    uint32_t mediaType = 0;
    std::vector<std::string> files;  // "DIR/FILE" under the card's DCIM, in hand-out order
};

struct Plan {
    std::vector<PlannedMedium> media;
    std::vector<std::string> refused;  // handed-out paths of a form that is not safe to open
};

// Fills *plan; `sortDoc` null keeps the list order. Retries for up to `waitSec` seconds while
// the database cannot be reached and counts again when it changes under the hand-out. False
// with the reason in *why.
bool buildPlan(std::vector<UploadRule> rules, const std::string *sortDoc, unsigned waitSec, Plan *plan,
               std::string *why);

#endif
