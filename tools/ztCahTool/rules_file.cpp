// Reads a rules file: bounded size, regular files only, every field checked for type and range,
// unknown fields refused so that a misspelt one does not silently widen a rule.
#include "rules_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

#include <cjson/cJSON.h>

namespace {

constexpr size_t kMaxFile = 64 * 1024;

struct JsonDeleter {
    void operator()(cJSON *j) const { cJSON_Delete(j); }
};

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
        *error = "unknown field \"" + name + "\"";
        return false;
    }
    if (!ok)
        *error = "\"" + name + "\" must be " +
                 (name == "state" ? "true or false"
                  : name == "label" ? "a string"
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
    return true;
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

bool parseRules(const std::string &json, std::vector<UploadRule> *rules, std::string *error)
{
    const std::unique_ptr<cJSON, JsonDeleter> doc(cJSON_Parse(json.c_str()));
    const cJSON *list = doc ? cJSON_GetObjectItemCaseSensitive(doc.get(), "rules") : nullptr;
    if (!cJSON_IsArray(list)) {
        *error = doc ? "expected {\"rules\": [...]}" : "not valid JSON";
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
