# Shared settings for every target of the project: standard, warnings and
# sanitizers live on one INTERFACE target instead of global flags.
add_library(varnel_settings INTERFACE)
target_compile_features(varnel_settings INTERFACE cxx_std_20)
set_target_properties(varnel_settings PROPERTIES INTERFACE_POSITION_INDEPENDENT_CODE ON)
target_compile_options(varnel_settings INTERFACE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wpedantic -Wnon-virtual-dtor>
  # GCC 12 reports false -Wrestrict overlaps inside std::u16string assignments.
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local -Wno-restrict>)

if(VARNEL_SANITIZE)
  string(REPLACE "," ";" _sanitizers "${VARNEL_SANITIZE}")
  foreach(_s IN LISTS _sanitizers)
    target_compile_options(varnel_settings INTERFACE -fsanitize=${_s} -fno-omit-frame-pointer)
    target_link_options(varnel_settings INTERFACE -fsanitize=${_s})
  endforeach()
  if("undefined" IN_LIST _sanitizers)
    target_compile_options(varnel_settings INTERFACE -fno-sanitize-recover=undefined)
  endif()
endif()

# A shared library of the project: hidden visibility, one export macro
# (<NAME>_API from <name>_export.h, defined while building the library).
function(varnel_add_shared_library name)
  add_library(${name} SHARED ${ARGN})
  string(TOUPPER ${name} _upper)
  target_compile_definitions(${name} PRIVATE ${_upper}_BUILDING)
  set_target_properties(${name} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}
    # Installed in the program's private folder, beside each other.
    INSTALL_RPATH "$ORIGIN")
  target_link_libraries(${name} PRIVATE varnel_settings)
endfunction()

# One GoogleTest binary per library, discovered by CTest.
function(varnel_add_test_binary name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE varnel_settings ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
