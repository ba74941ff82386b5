# Writes build_id.h with the commit being built, and touches it only when that changes, so that
# a build names its commit without rebuilding anything else. Run at every build.
set(id "unknown")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=12 HEAD
    WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE git_id OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET RESULT_VARIABLE git_result)
  if(git_result EQUAL 0 AND git_id)
    set(id ${git_id})
    # A build from a tree with uncommitted changes is not that commit: say so, so that a log
    # sent in from such a build is never taken for the released one.
    execute_process(COMMAND ${GIT_EXECUTABLE} status --porcelain --untracked-files=no
      WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE changes ERROR_QUIET)
    if(changes)
      set(id "${id}-modified")
    endif()
  endif()
endif()
set(content "// Generated at build time; do not edit.\n#define QVT_BUILD_ID \"${id}\"\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} existing)
endif()
if(NOT "${existing}" STREQUAL "${content}")
  file(WRITE ${OUTPUT} "${content}")
endif()
