// ztCahTool's inputs: a JSON file read whole (bounded, never through a symbolic link) and the
// upload rules it holds. Plain values owned by the caller; no shared state.
#ifndef ZT_TOOLS_CAHTOOL_RULES_FILE_H
#define ZT_TOOLS_CAHTOOL_RULES_FILE_H

#include <memory>
#include <string>
#include <vector>

#include <cjson/cJSON.h>

#include "cah/CAHMediaList.h"

struct JsonDeleter {
    void operator()(cJSON *j) const { cJSON_Delete(j); }
};
using JsonDoc = std::unique_ptr<cJSON, JsonDeleter>;

// Reads a regular file of at most 64 KiB into *text; false with the reason in *error.
bool readSmallFile(const std::string &path, std::string *text, std::string *error);

// Parses {"rules":[{"state":B,"kind":N,"label":S,"score":[LO,HI],"duration":[LO,HI],
// "count":[LO,HI],"extra":N}, ...]}; every field but state and kind may be omitted (ranges then
// cover every value). False with the reason in *error for anything else.
bool parseRules(const std::string &json, std::vector<UploadRule> *rules, std::string *error);

// The file's text as one JSON value and nothing else: a NUL byte, text after the value or a
// value that does not parse gives null with the reason and its line and column in *error.
JsonDoc parseJsonText(const std::string &text, std::string *error);

// What the candidate list would skip in a sort-rule document without a word (rule and kind
// names it does not know, top-level keys it does not read), one line each, naming the place.
std::vector<std::string> sortDocumentIgnores(const cJSON *doc);

#endif
