# Helpers shared by every target of the project.

# Our own code builds with warnings as errors; third-party code does not.
# It also shares one set of precompiled headers (see below).
function(lumora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror
    -Wno-missing-field-initializers -Wno-cast-function-type)
  get_target_property(reused ${target} PRECOMPILE_HEADERS_REUSE_FROM)
  if(NOT reused AND NOT target STREQUAL "LumoraPch")
    target_precompile_headers(${target} REUSE_FROM LumoraPch)
  endif()
endfunction()

# Precompiled headers: windows.h, parsed by nearly every translation unit,
# compiled once by a target of its own and reused by every one of our
# targets (they share their flags, so the one .gch fits them all; GCC falls
# back to the real header where it would not). Nothing of the standard
# library goes in, GoogleTest included: from a GCC 12 .gch, inlined
# std::wstring copies lose their system-header status and -Warray-bounds
# reports false positives inside mingw's wchar.h (seen in both
# architectures).
function(lumora_add_pch_targets)
  add_library(LumoraPch OBJECT ${PROJECT_SOURCE_DIR}/cmake/pch.cpp)
  target_precompile_headers(LumoraPch PRIVATE <windows.h>)
  lumora_warnings(LumoraPch)
endfunction()

# Version resource for everything we ship.
function(lumora_version_resource target description filename)
  set(LUMORA_RC_DESCRIPTION "${description}")
  set(LUMORA_RC_FILENAME "${filename}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

# A GoogleTest binary run under Wine by ctest.
#   lumora_add_test(NAME n SOURCES ... LIBS ... [UI] [VARIANTS] [OWN_MAIN] [FIXTURES f...])
# UI tests run on the bench's Xvfb display. VARIANTS runs the binary a second
# time with the Chinese locale and the UTC+8 clock, for results that depend
# on code page, UI language or time zone.
function(lumora_add_test)
  cmake_parse_arguments(T "UI;VARIANTS;OWN_MAIN" "NAME" "SOURCES;LIBS;FIXTURES" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gmock gtest)
  if(NOT T_OWN_MAIN)
    target_link_libraries(${T_NAME} PRIVATE gtest_main)
  endif()
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  lumora_warnings(${T_NAME})
  # Under Wine a path that starts with / is relative to the current drive
  # folder; the build tree is reached through the Z: drive.
  set(results ${CMAKE_BINARY_DIR}/test-results)
  set(fixtures bench ${T_FIXTURES})
  set(env "LUMORA_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "LUMORA_BUILD_DIR=${CMAKE_BINARY_DIR}")
  add_test(NAME ${T_NAME}
           COMMAND ${T_NAME} --gtest_output=xml:Z:${results}/${T_NAME}.xml
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED "${fixtures}"
                       ENVIRONMENT "${env};TZ=UTC" TIMEOUT 600)
  if(T_VARIANTS)
    add_test(NAME ${T_NAME}.zh_CN_UTC+8
             COMMAND ${T_NAME} --gtest_output=xml:Z:${results}/${T_NAME}.zh_CN.xml
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    set_tests_properties(${T_NAME}.zh_CN_UTC+8 PROPERTIES FIXTURES_REQUIRED "${fixtures}"
                         ENVIRONMENT "${env};TZ=Asia/Shanghai;LC_ALL=zh_CN.UTF-8" TIMEOUT 600)
  endif()
endfunction()
