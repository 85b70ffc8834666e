// Orders the collected keys in place by a sort-rule document, times the sort with the stopwatch
// and logs the resulting order; the hand-out then starts again from the first key.
#include "cah/CAHMediaList.h"

#include <algorithm>

#include "cah/CompareFactory.h"
#include "cah/CompareOrdinal.h"
#include "cah/CAHLog.h"
#include "gcore/gcore_stopwatch.h"

int CAHMediaList::sort(const char *json)
{
    static const char *const kSort = "sort";
    Comparinator *c = CompareFactory::create(json);
    if (!c) {
        CML_LOG(CML_ERROR, "  [ERROR]: [CML]: %s: failed to create comparison operator.\n", kSort);
        return -1;
    }
    gcore_stopwatch_t *sw = gcore_stopwatch_create();
    gcore_stopwatch(sw, GCORE_STOPWATCH_CALIBRATE | GCORE_STOPWATCH_RESET | GCORE_STOPWATCH_START);
    std::sort(mBlocks.begin(), mBlocks.end(), CompareAdapter(c));
    const double seconds = gcore_stopwatch(sw, GCORE_STOPWATCH_STOP);
    gcore_stopwatch_destroy(sw);
    CML_LOG(CML_INFO, "   [INFO]: [CML]: %s: sort took %1.2lf seconds\n", kSort, seconds);
    if (gcore::Logger::getLogger()) {
        for (const CompareBlock &b : mBlocks)
            CML_LOG(CML_INFO, "   [INFO]: [CML]: %d y:%d d:%d t:%d c:%d s:%d h:%d\n", int(b.index), int(b.year),
                    int(b.day), int(b.type), int(b.count), int(b.sizeMB), int(b.highlight));
    }
    CompareFactory::destroy(c);
    reset();
    return 0;
}
