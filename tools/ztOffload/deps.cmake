# ztOffload reads rules files the way ztCahTool does (one reader for both) and checksums with xxHash.
pkg_check_modules(XXHASH REQUIRED IMPORTED_TARGET libxxhash)
target_sources(ztOffload PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ztCahTool/rules_file.cpp)
target_link_libraries(ztOffload PRIVATE PkgConfig::XXHASH PkgConfig::CJSON gcore)
# The copying and the settling of files run on two threads.
find_package(Threads REQUIRED)
target_link_libraries(ztOffload PRIVATE Threads::Threads)
