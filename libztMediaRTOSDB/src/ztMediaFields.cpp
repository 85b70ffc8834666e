// Lookup of the "fields" codes in the field table.
#include "libztMediaRTOSDB/src/ztMediaFields.h"

#include <cstring>

namespace ztmedia {

const FieldInfo *findFieldCode(const char *code)
{
    for (const FieldInfo &f : kFields)
        if (f.code && std::strcmp(f.code, code) == 0)
            return &f;
    return nullptr;
}

}  // namespace ztmedia
