# uchardet is compiled from its Debian source (fetched by scripts/install-deps.sh
# into .deps/) into a static library with position-independent code. Its
# sources stay outside the repository.
set(VARNEL_UCHARDET_SOURCE_DIR "${PROJECT_SOURCE_DIR}/.deps/uchardet-0.0.7"
    CACHE PATH "uchardet 0.0.7 source folder")
if(NOT EXISTS "${VARNEL_UCHARDET_SOURCE_DIR}/src/nsUniversalDetector.cpp")
  message(FATAL_ERROR "uchardet source not found in ${VARNEL_UCHARDET_SOURCE_DIR}: "
                      "run scripts/install-deps.sh first")
endif()
file(GLOB _uchardet_sources
  "${VARNEL_UCHARDET_SOURCE_DIR}/src/*.cpp"
  "${VARNEL_UCHARDET_SOURCE_DIR}/src/LangModels/*.cpp")
add_library(uchardet_static STATIC ${_uchardet_sources})
# The library's own code is not ours to fix: no warnings from it.
target_compile_options(uchardet_static PRIVATE -w)
target_compile_definitions(uchardet_static PRIVATE VERSION="0.0.7")
target_include_directories(uchardet_static SYSTEM PUBLIC "${VARNEL_UCHARDET_SOURCE_DIR}/src")
target_link_libraries(uchardet_static PRIVATE varnel_settings)
set_target_properties(uchardet_static PROPERTIES POSITION_INDEPENDENT_CODE ON)
