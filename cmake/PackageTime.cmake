# Read by cpack before it packs. The package's archives and the files in
# them carry the time of the last commit, not of the build, so that a
# package made twice from one commit is the same, byte for byte. A time
# given in SOURCE_DATE_EPOCH, as distributions' build tools give it, is
# kept; outside a git checkout (a release archive) the time of the top
# CMakeLists.txt is taken.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(
    COMMAND git log -1 --format=%ct
    WORKING_DIRECTORY "${CPACK_QUILLET_SOURCE_DIR}"
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
    file(TIMESTAMP "${CPACK_QUILLET_SOURCE_DIR}/CMakeLists.txt" epoch "%s" UTC)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
endif()
