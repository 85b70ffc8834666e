# Build helpers shared by every folder: warnings, sanitizer flavour, library and test registration.

function(zt_common_flags)
  # Sign conversions stay off: see docs/building.md.
  add_compile_options(-Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion)
  if(ZT_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
    # GCC's flow analysis misreads the sanitizer's instrumentation (it flags libstdc++'s own
    # <regex> internals); the plain builds keep this warning.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      add_compile_options(-Wno-maybe-uninitialized)
    endif()
  endif()
  if(ZT_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
  endif()
  if(ZT_FUZZ)
    # Coverage feedback from the libraries too, not only from the fuzz entry points.
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
endfunction()

# zt_library(NAME [DEPS lib...] [SOURCES file...])
# A static library of the .c/.cpp files of the calling folder (or SOURCES when given).
# Headers are included by their path from the repository root ("gtl/gtl_list.h").
function(zt_library name)
  cmake_parse_arguments(ZL "" "" "DEPS;SOURCES" ${ARGN})
  if(NOT ZL_SOURCES)
    file(GLOB ZL_SOURCES CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  endif()
  add_library(${name} STATIC ${ZL_SOURCES})
  # Hidden by default: only what a public header marks ZT_MEDIA_API leaves the shared library.
  set_target_properties(${name} PROPERTIES C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden
                        VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/ztMedia>)
  if(ZL_DEPS)
    target_link_libraries(${name} PUBLIC ${ZL_DEPS})
  endif()
endfunction()

function(zt_install_package)
  # The .pc file finds its prefix from where it lies, so the install can be moved.
  file(RELATIVE_PATH ZT_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" ZT_PC_TO_PREFIX "${ZT_PC_TO_PREFIX}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/ztMediaRTOSDB.pc.in
                 ${CMAKE_BINARY_DIR}/ztMediaRTOSDB.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/ztMediaRTOSDB.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
          COMPONENT dev)
endfunction()
