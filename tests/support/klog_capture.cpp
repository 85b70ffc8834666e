// Kernel-log capture for tests.
#include "support/klog_capture.h"

#include "platform/ztklog.h"

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

void KlogCapture::sink(void *ctx, int, const char *line)
{
    KlogCapture *self = static_cast<KlogCapture *>(ctx);
    std::lock_guard<std::mutex> lock(self->mMutex);
    self->mLines.emplace_back(line);
}

std::vector<std::string> KlogCapture::lines() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mLines;
}
