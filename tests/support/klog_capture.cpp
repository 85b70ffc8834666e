// Kernel-log capture for tests.
#include "support/klog_capture.h"

#include "platform/ztklog.h"

namespace {

std::string withoutNewline(std::string s)
{
    if (!s.empty() && s.back() == '\n')
        s.pop_back();
    return s;
}

// The message part of "zt[L] FILE:LINE: MESSAGE\n" without its newline.
std::string messageOf(const std::string &line)
{
    size_t colon = line.find(": ");
    return withoutNewline(colon == std::string::npos ? line : line.substr(colon + 2));
}

}  // namespace

KlogCapture::KlogCapture(int level) : mSavedLevel(g_logLevel)
{
    ztUtilSetLogLevel(level);
    ztKlogSetSink(&KlogCapture::sink, this);
}

KlogCapture::~KlogCapture()
{
    ztKlogSetSink(nullptr, nullptr);
    ztUtilSetLogLevel(mSavedLevel);
}

void KlogCapture::sink(void *ctx, int level, const char *line)
{
    KlogCapture *self = static_cast<KlogCapture *>(ctx);
    std::lock_guard<std::mutex> lock(self->mMutex);
    self->mLines.emplace_back(level, line);
}

std::vector<std::string> KlogCapture::lines() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    std::vector<std::string> out;
    for (const auto &l : mLines)
        out.push_back(l.second);
    return out;
}

int KlogCapture::count(const std::string &message) const
{
    std::string want = withoutNewline(message);
    int n = 0;
    for (const std::string &l : lines())
        n += messageOf(l) == want;
    return n;
}

std::string KlogCapture::text() const
{
    std::string all;
    for (const std::string &l : lines())
        all += l;
    return all;
}

void KlogCapture::clear()
{
    std::lock_guard<std::mutex> lock(mMutex);
    mLines.clear();
}
