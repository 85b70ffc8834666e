# ztMediaHttpd: civetweb (Debian libcivetweb-dev) and the browser page, embedded from
# page/index.html at configure time so the binary serves it without --root. Debian's civetweb
# CMake package names a /usr/bin/civetweb that the -dev package does not ship, and there is no
# pkg-config file, so header and library are found directly.
find_path(CIVETWEB_INCLUDE_DIR civetweb.h REQUIRED)
find_library(CIVETWEB_LIBRARY civetweb REQUIRED)
target_include_directories(ztMediaHttpd SYSTEM PRIVATE ${CIVETWEB_INCLUDE_DIR})
target_link_libraries(ztMediaHttpd PRIVATE ${CIVETWEB_LIBRARY})
set(ZT_HTTPD_PAGE ${CMAKE_CURRENT_SOURCE_DIR}/ztMediaHttpd/page/index.html)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZT_HTTPD_PAGE})
file(READ ${ZT_HTTPD_PAGE} ZT_HTTPD_PAGE_TEXT)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/ztMediaHttpd/page/embeddedPage.cpp.in
               ${CMAKE_CURRENT_BINARY_DIR}/ztMediaHttpd/embeddedPage.cpp @ONLY)
target_sources(ztMediaHttpd PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/ztMediaHttpd/embeddedPage.cpp)
target_include_directories(ztMediaHttpd PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ztMediaHttpd)
