# The library as a host program gets it: libztMediaRTOSDB.so (versioned, with a SONAME) and
# libztMediaRTOSDB.a, each holding the client, the candidate list, the protocol and the runtime
# beneath them. Both are made of the objects of the in-tree archives, so nothing is compiled twice;
# those are built with hidden visibility, so the shared library exports what the public headers
# mark ZT_MEDIA_API and nothing else (tests/abi_symbols_test.sh checks the list).
function(zt_dist_library)
  set(objects)
  foreach(part ztMediaRTOSDB ztdbprotocol ztplatform gcore gtl)
    list(APPEND objects $<TARGET_OBJECTS:${part}>)
  endforeach()

  add_library(ztMediaRTOSDB_shared SHARED ${objects})
  set_target_properties(ztMediaRTOSDB_shared PROPERTIES
    OUTPUT_NAME ztMediaRTOSDB VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
    LINKER_LANGUAGE CXX LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
  target_link_libraries(ztMediaRTOSDB_shared PRIVATE PkgConfig::CJSON Threads::Threads rt)
  set(map ${PROJECT_SOURCE_DIR}/cmake/ztMediaRTOSDB.map)
  target_link_options(ztMediaRTOSDB_shared PRIVATE -Wl,--version-script=${map})
  set_property(TARGET ztMediaRTOSDB_shared APPEND PROPERTY LINK_DEPENDS ${map})
  # Every symbol resolved at link time, so the package's dependencies are all declared; the
  # sanitizer runtimes are only resolved when the program loads.
  if(NOT ZT_SANITIZE AND NOT ZT_FUZZ)
    target_link_options(ztMediaRTOSDB_shared PRIVATE -Wl,-z,defs)
  endif()

  add_library(ztMediaRTOSDB_archive STATIC ${objects})
  set_target_properties(ztMediaRTOSDB_archive PROPERTIES
    OUTPUT_NAME ztMediaRTOSDB LINKER_LANGUAGE CXX ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

  install(TARGETS ztMediaRTOSDB_shared LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          COMPONENT runtime NAMELINK_COMPONENT dev)
  install(TARGETS ztMediaRTOSDB_archive ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
endfunction()
