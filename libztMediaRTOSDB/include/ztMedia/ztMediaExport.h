// ZT_MEDIA_API marks what libztMediaRTOSDB exports. The library is built with hidden visibility,
// so a declaration without it stays inside the shared library and is no part of its ABI.
#ifndef ZT_MEDIA_EXPORT_H
#define ZT_MEDIA_EXPORT_H

#if defined(__GNUC__)
#define ZT_MEDIA_API __attribute__((visibility("default")))
#else
#define ZT_MEDIA_API
#endif

#endif
