#include "mediadb/fault_injector.h"

#include <cstdlib>
#include <cstring>

namespace {

bool parseNumber(const std::string &s, uint32_t *out)
{
    if (s.empty())
        return false;
    char *end = nullptr;
    unsigned long long v = std::strtoull(s.c_str(), &end, 0);
    if (*end || v > UINT32_MAX)
        return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

// Word forms: name, where the count sits, where the value sits (-1: none), default count.
struct FaultForm {
    const char *name;
    int countAt, valueAt;
};
const FaultForm kForms[] = {
    {"drop", 1, -1}, {"delay", 1, 2}, {"cut", 2, 1}, {"status", 2, 1}, {"token", 2, 1},
};

}  // namespace

Status FaultInjector::arm(const std::vector<std::string> &words)
{
    std::lock_guard<std::mutex> lock(mLock);
    if (words.size() == 1 && words[0] == "clear") {
        for (Armed &a : mArmed)
            a = Armed{};
        return {};
    }
    for (int k = 0; k < KindCount; k++) {
        const FaultForm &f = kForms[k];
        if (words.empty() || words[0] != f.name)
            continue;
        Armed a{1, 0};
        size_t needed = static_cast<size_t>(std::max(f.valueAt, k == Drop || k == Delay ? f.countAt : 0)) + 1;
        if (words.size() < needed || words.size() > 3 || (f.valueAt > 0 && !parseNumber(words[f.valueAt], &a.value)) ||
            (static_cast<size_t>(f.countAt) < words.size() && !parseNumber(words[f.countAt], &a.remaining)))
            return Status::error(std::string("usage: ") + (k == Drop         ? "drop N"
                                                           : k == Delay      ? "delay N MS"
                                                           : k == Cut        ? "cut K [N]"
                                                           : k == StatusWord ? "status S [N]"
                                                                             : "token T [N]"));
        mArmed[k] = a;
        return {};
    }
    return Status::error("unknown fault \"" + (words.empty() ? std::string() : words[0]) + "\"");
}

bool FaultInjector::take(Kind k, uint32_t *value)
{
    if (mArmed[k].remaining == 0)
        return false;
    mArmed[k].remaining--;
    *value = mArmed[k].value;
    return true;
}

bool FaultInjector::apply(std::vector<Frame> *reply, uint32_t *delayMs)
{
    uint32_t value = 0;
    *delayMs = 0;
    std::lock_guard<std::mutex> lock(mLock);
    if (take(Drop, &value))
        return false;
    take(Delay, delayMs);
    Frame &f = reply->front();
    if (take(StatusWord, &value) && f.size() >= 8)
        std::memcpy(f.data() + 4, &value, sizeof value);
    if (take(Token, &value) && f.size() >= 20)
        std::memcpy(f.data() + 16, &value, sizeof value);  // every reply header ends in the token
    if (take(Cut, &value) && f.size() > value)
        f.resize(value);
    return true;
}
