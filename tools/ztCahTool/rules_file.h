// ztCahTool's inputs: a JSON file read whole (bounded, never through a symbolic link) and the
// upload rules it holds. Plain values owned by the caller; no shared state.
#ifndef ZT_TOOLS_CAHTOOL_RULES_FILE_H
#define ZT_TOOLS_CAHTOOL_RULES_FILE_H

#include <string>
#include <vector>

#include "cah/CAHMediaList.h"

// Reads a regular file of at most 64 KiB into *text; false with the reason in *error.
bool readSmallFile(const std::string &path, std::string *text, std::string *error);

// Parses {"rules":[{"state":B,"kind":N,"label":S,"score":[LO,HI],"duration":[LO,HI],
// "count":[LO,HI],"extra":N}, ...]}; every field but state and kind may be omitted (ranges then
// cover every value). False with the reason in *error for anything else.
bool parseRules(const std::string &json, std::vector<UploadRule> *rules, std::string *error);

#endif
