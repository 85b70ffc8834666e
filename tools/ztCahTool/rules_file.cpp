// Reads a rules file: bounded size, regular files only, one JSON value and nothing after it,
// every field checked for type and range, unknown keys and kinds that match nothing refused, so
// that a misspelt one does not silently widen or void a rule.
#include "rules_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <strings.h>

#include "cah/CompareFactory.h"

namespace {

constexpr size_t kMaxFile = 64 * 1024;

bool toU32(const cJSON *j, uint32_t *out)
{
    if (!cJSON_IsNumber(j))
        return false;
    const double v = j->valuedouble;
    if (!(v >= 0 && v <= 4294967295.0) || std::floor(v) != v)
        return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

bool toRange(const cJSON *j, uint32_t *lo, uint32_t *hi)
{
    return cJSON_IsArray(j) && cJSON_GetArraySize(j) == 2 && toU32(cJSON_GetArrayItem(j, 0), lo) &&
           toU32(cJSON_GetArrayItem(j, 1), hi) && *lo <= *hi;
}

// "line L, column C" of byte `at` of `text`, both counted from 1.
std::string placeOf(const std::string &text, size_t at)
{
    size_t line = 1, column = 1;
    for (size_t i = 0; i < at && i < text.size(); ++i, ++column)
        if (text[i] == '\n') {
            ++line;
            column = 0;
        }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

bool isKey(const cJSON *j, const char *key) { return j->string && strcasecmp(j->string, key) == 0; }

// A name from the file as a JSON string, so that quotes and control bytes in it stay visible.
std::string quoted(const char *text)
{
    const JsonDoc s(cJSON_CreateString(text ? text : ""));
    char *out = s ? cJSON_PrintUnformatted(s.get()) : nullptr;
    std::string q = out ? out : "\"\"";
    cJSON_free(out);
    return q;
}

// One field of a rule; false with the reason in *error.
bool parseField(const cJSON *f, UploadRule *r, std::string *error)
{
    const std::string name = f->string;
    bool ok = false;
    if (name == "state") {
        ok = cJSON_IsBool(f);
        r->isStateRule = cJSON_IsTrue(f);
    } else if (name == "kind") {
        ok = toU32(f, &r->kind);
    } else if (name == "label") {
        ok = cJSON_IsString(f);
        if (ok)
            r->label = f->valuestring;
    } else if (name == "score") {
        ok = toRange(f, &r->minScore, &r->maxScore);
    } else if (name == "duration") {
        ok = toRange(f, &r->minDuration, &r->maxDuration);
    } else if (name == "count") {
        ok = toRange(f, &r->minCount, &r->maxCount);
    } else if (name == "extra") {
        ok = toU32(f, &r->extra);
    } else {
        *error = "unknown field " + quoted(f->string);
        return false;
    }
    if (!ok)
        *error = "\"" + name + "\" must be " +
                 (name == "state"                     ? "true or false"
                  : name == "label"                   ? "a string"
                  : name == "kind" || name == "extra" ? "an integer from 0 to 4294967295"
                                                      : "[LOW, HIGH] with 0 <= LOW <= HIGH <= 4294967295");
    return ok;
}

bool parseRule(const cJSON *j, UploadRule *r, std::string *error)
{
    if (!cJSON_IsObject(j)) {
        *error = "not an object";
        return false;
    }
    for (const cJSON *f = j->child; f; f = f->next)
        if (!parseField(f, r, error))
            return false;
    if (!cJSON_GetObjectItemCaseSensitive(j, "state") || !cJSON_GetObjectItemCaseSensitive(j, "kind")) {
        *error = "\"state\" and \"kind\" are required";
        return false;
    }
    if (!CAHMediaList::ruleCanMatch(*r))
        *error = "\"kind\" " + std::to_string(r->kind) + " matches nothing: media rules are 0-4, 6-8 or 10, " +
                 "state rules 11-15";
    return CAHMediaList::ruleCanMatch(*r);
}

}  // namespace

bool readSmallFile(const std::string &path, std::string *text, std::string *error)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = path + ": " + (fd < 0 ? std::strerror(errno) : "not a regular file");
        if (fd >= 0)
            close(fd);
        return false;
    }
    // The size is read, not trusted from fstat: the file may grow while we read.
    text->assign(kMaxFile + 1, '\0');
    size_t got = 0;
    ssize_t n = 0;
    while (got < text->size() && ((n = read(fd, &(*text)[got], text->size() - got)) > 0 || (n < 0 && errno == EINTR)))
        got += n > 0 ? size_t(n) : 0;
    const int readErrno = n < 0 ? errno : 0;
    close(fd);
    text->resize(got);
    if (readErrno || got > kMaxFile) {
        *error = path + ": " + (readErrno ? std::strerror(readErrno) : "larger than 64 KiB");
        return false;
    }
    return true;
}

JsonDoc parseJsonText(const std::string &text, std::string *error)
{
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        *error = "a NUL byte at " + placeOf(text, nul);
        return nullptr;
    }
    const char *end = nullptr;
    JsonDoc doc(cJSON_ParseWithLengthOpts(text.c_str(), text.size(), &end, false));
    if (!doc) {
        const char *at = cJSON_GetErrorPtr();
        *error = "not valid JSON at " + placeOf(text, at ? size_t(at - text.c_str()) : 0);
        return nullptr;
    }
    const size_t rest = text.find_first_not_of(" \t\r\n", size_t(end - text.c_str()));
    if (rest != std::string::npos) {
        *error = "text after the JSON value at " + placeOf(text, rest);
        return nullptr;
    }
    return doc;
}

bool parseRules(const std::string &json, std::vector<UploadRule> *rules, std::string *error)
{
    const JsonDoc doc = parseJsonText(json, error);
    if (!doc)
        return false;
    const cJSON *list = cJSON_GetObjectItemCaseSensitive(doc.get(), "rules");
    if (!cJSON_IsArray(list)) {
        *error = "expected {\"rules\": [...]}";
        return false;
    }
    for (const cJSON *k = doc->child; k; k = k->next)
        if (k != list) {
            *error = "top-level key " + quoted(k->string) +
                     (std::strcmp(k->string, "rules") == 0 ? " given twice" : " is not known");
            return false;
        }
    int i = 0;
    for (const cJSON *j = list->child; j; j = j->next, ++i) {
        UploadRule r;
        if (!parseRule(j, &r, error)) {
            *error = "rule " + std::to_string(i) + ": " + *error;
            return false;
        }
        rules->push_back(r);
    }
    return true;
}

std::vector<std::string> sortDocumentIgnores(const cJSON *doc)
{
    std::vector<std::string> ignored;
    const auto names = [&](const cJSON *key, bool (*knows)(const char *)) {
        int i = 0;
        for (const cJSON *e = cJSON_IsArray(key) ? key->child : nullptr; e; e = e->next, ++i)
            if (cJSON_IsString(e) && !knows(e->valuestring))
                ignored.push_back(std::string(key->string) + "[" + std::to_string(i) + "]: " + quoted(e->valuestring) +
                                  " is not a name the list knows; it is ignored");
    };
    for (const cJSON *k = cJSON_IsObject(doc) ? doc->child : nullptr; k; k = k->next) {
        if (isKey(k, "sort_rules"))
            names(k, CompareFactory::knowsRule);
        else if (isKey(k, "media_type_order"))
            names(k, CompareFactory::knowsKind);
        else
            ignored.push_back("top-level key " + quoted(k->string) + " is ignored");
    }
    return ignored;
}
