# The CLAP interface headers, for the CLAP binding and for the command-line
# host, which loads CLAP modules whether this tree builds one or not.
# Taken from Debian's dpf-source package (its CLAP header folder only) and
# unpacked into the build tree once; later configurations reuse the copy.
set(TOLMAR_CLAP_INCLUDE_DIR "" CACHE PATH "A folder holding clap/plugin.h to use instead of the fetched headers")
if(TOLMAR_CLAP_INCLUDE_DIR)
  set(clap_include "${TOLMAR_CLAP_INCLUDE_DIR}")
else()
  execute_process(
    COMMAND bash "${PROJECT_SOURCE_DIR}/scripts/fetch-clap-headers.sh" "${PROJECT_BINARY_DIR}/_deps"
    OUTPUT_VARIABLE clap_include
    RESULT_VARIABLE fetch_result
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT fetch_result EQUAL 0)
    message(FATAL_ERROR "Could not fetch the CLAP headers (scripts/fetch-clap-headers.sh failed)")
  endif()
endif()
if(NOT EXISTS "${clap_include}/clap/plugin.h")
  message(FATAL_ERROR "No CLAP headers in ${clap_include}")
endif()
message(STATUS "CLAP headers: ${clap_include}")
add_library(tolmar_clap_headers INTERFACE)
# System headers to us: their warnings are not ours.
target_include_directories(tolmar_clap_headers SYSTEM INTERFACE "${clap_include}")

