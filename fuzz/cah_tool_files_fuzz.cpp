// Feeds one arbitrary file to ztCahTool's readers: as a rules file and as a sort document. A rules
// file that is taken must hold no NUL and only rules that can match; the sort document's notes on
// what the list ignores must come out for any JSON value; nothing may crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/ztCahTool/rules_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    std::vector<UploadRule> rules;
    std::string error;
    if (parseRules(text, &rules, &error)) {
        if (text.find('\0') != std::string::npos)
            std::abort();
        for (const UploadRule &r : rules)
            if (!CAHMediaList::ruleCanMatch(r))
                std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    const JsonDoc doc = parseJsonText(text, &error);
    if (doc)
        sortDocumentIgnores(doc.get());
    return 0;
}
