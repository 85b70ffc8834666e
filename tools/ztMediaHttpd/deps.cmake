# ztMediaHttpd: libmicrohttpd (Debian libmicrohttpd-dev, through pkg-config) and the browser
# page, embedded from page/index.html at configure time so the binary serves it without --root.
find_package(PkgConfig REQUIRED)
pkg_check_modules(MICROHTTPD REQUIRED IMPORTED_TARGET libmicrohttpd)
target_link_libraries(ztMediaHttpd PRIVATE PkgConfig::MICROHTTPD Threads::Threads)
set(ZT_HTTPD_PAGE ${CMAKE_CURRENT_SOURCE_DIR}/ztMediaHttpd/page/index.html)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZT_HTTPD_PAGE})
file(READ ${ZT_HTTPD_PAGE} ZT_HTTPD_PAGE_TEXT)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/ztMediaHttpd/page/embeddedPage.cpp.in
               ${CMAKE_CURRENT_BINARY_DIR}/ztMediaHttpd/embeddedPage.cpp @ONLY)
target_sources(ztMediaHttpd PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/ztMediaHttpd/embeddedPage.cpp)
target_include_directories(ztMediaHttpd PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ztMediaHttpd)
