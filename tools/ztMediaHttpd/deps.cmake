# ztMediaHttpd: libmicrohttpd (Debian libmicrohttpd-dev, through pkg-config), libjpeg (Debian
# libjpeg62-turbo-dev) for the thumbnails, and the browser page, embedded from page/ at
# configure time so the binary serves it without --root.
find_package(PkgConfig REQUIRED)
pkg_check_modules(MICROHTTPD REQUIRED IMPORTED_TARGET libmicrohttpd)
find_package(JPEG REQUIRED)
target_link_libraries(ztMediaHttpd PRIVATE PkgConfig::MICROHTTPD Threads::Threads ztHttpdCard)

# The card's files and thumbnails: a library of its own, so the fuzz targets can link it. The
# protocol holds the camera's name rules.
file(GLOB ZT_HTTPD_CARD_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ztMediaHttpd/card/*.cpp)
add_library(ztHttpdCard STATIC ${ZT_HTTPD_CARD_SOURCES})
target_include_directories(ztHttpdCard PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/ztMediaHttpd)
target_link_libraries(ztHttpdCard PUBLIC JPEG::JPEG ztdbprotocol)

set(ZT_HTTPD_PAGE_DIR ${CMAKE_CURRENT_SOURCE_DIR}/ztMediaHttpd/page)
set(ZT_HTTPD_PAGE_ARRAYS "")
set(ZT_HTTPD_PAGE_ROWS "")
set(ZT_HTTPD_PAGE_INDEX 0)
foreach(entry "index.html|text/html" "app.js|text/javascript" "style.css|text/css")
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 type)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZT_HTTPD_PAGE_DIR}/${name})
  file(READ ${ZT_HTTPD_PAGE_DIR}/${name} text)
  string(FIND "${text}" ")ZTPAGE\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "page/${name} holds the raw-string delimiter )ZTPAGE\"")
  endif()
  set(array kPage${ZT_HTTPD_PAGE_INDEX})
  string(APPEND ZT_HTTPD_PAGE_ARRAYS "static const char ${array}[] = R\"ZTPAGE(${text})ZTPAGE\";\n")
  string(APPEND ZT_HTTPD_PAGE_ROWS "    {\"${name}\", \"${type}; charset=utf-8\", ${array}, sizeof ${array} - 1},\n")
  math(EXPR ZT_HTTPD_PAGE_INDEX "${ZT_HTTPD_PAGE_INDEX} + 1")
endforeach()
configure_file(${ZT_HTTPD_PAGE_DIR}/embeddedPage.cpp.in
               ${CMAKE_CURRENT_BINARY_DIR}/ztMediaHttpd/embeddedPage.cpp @ONLY)
target_sources(ztMediaHttpd PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/ztMediaHttpd/embeddedPage.cpp)
target_include_directories(ztMediaHttpd PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ztMediaHttpd)
