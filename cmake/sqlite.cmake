# SQLite for the Windows builds: the amalgamation made from Debian's sqlite3 source
# package, compiled by MinGW into the static library sqlite3_static.
#
# The first configure fetches the source with `apt-get source sqlite3` (the source
# lists are set up by scripts/install-deps.sh) and makes sqlite3.c/sqlite3.h with the
# native tools (configure, make, tclsh). The result is kept in TARVO_SQLITE_CACHE,
# shared by both Windows builds, together with the Debian version it came from;
# later runs reuse it without asking apt again. Delete the folder to take a newer
# version.
include_guard(GLOBAL)

set(TARVO_SQLITE_CACHE "${CMAKE_BINARY_DIR}/../sqlite-src" CACHE PATH
    "Where the SQLite amalgamation made from Debian's source package is kept")
get_filename_component(_sqlite_cache "${TARVO_SQLITE_CACHE}" ABSOLUTE)
set(_sqlite_amalgamation "${_sqlite_cache}/amalgamation")
set(_sqlite_version_file "${_sqlite_cache}/VERSION")

# The upstream version inside a Debian version: no epoch, no Debian revision.
function(_sqlite_upstream_version debian_version out)
  string(REGEX REPLACE "^[0-9]+:" "" v "${debian_version}")
  string(REGEX REPLACE "-[^-]*$" "" v "${v}")
  set(${out} "${v}" PARENT_SCOPE)
endfunction()

# The version the header declares, e.g. 3.40.1.
function(_sqlite_header_version header out)
  file(STRINGS "${header}" line REGEX "^#define SQLITE_VERSION[ \t]+\"")
  string(REGEX REPLACE "^#define SQLITE_VERSION[ \t]+\"([^\"]*)\".*" "\\1" v "${line}")
  set(${out} "${v}" PARENT_SCOPE)
endfunction()

function(_sqlite_run what)
  cmake_parse_arguments(RUN "" "WORKING_DIRECTORY" "COMMAND" ${ARGN})
  execute_process(COMMAND ${RUN_COMMAND} WORKING_DIRECTORY "${RUN_WORKING_DIRECTORY}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    string(LENGTH "${out}" n)
    if(n GREATER 4000)
      math(EXPR start "${n} - 4000")
      string(SUBSTRING "${out}" ${start} -1 out)
    endif()
    message(FATAL_ERROR "SQLite: ${what} failed (${rc}):\n${out}")
  endif()
endfunction()

# Fetches the source package and makes the amalgamation; records the version last,
# so an interrupted run starts over.
function(_sqlite_make_amalgamation)
  set(work "${_sqlite_cache}/work")
  file(REMOVE_RECURSE "${work}" "${_sqlite_amalgamation}")
  file(MAKE_DIRECTORY "${work}/source" "${work}/build" "${_sqlite_amalgamation}")

  foreach(tool apt-get dpkg-source make tclsh)
    string(MAKE_C_IDENTIFIER "TARVO_${tool}" var)
    find_program(${var} ${tool})
    if(NOT ${var})
      message(FATAL_ERROR "SQLite: `${tool}` is missing; run scripts/install-deps.sh first.")
    endif()
  endforeach()

  message(STATUS "SQLite: fetching Debian's sqlite3 source package into ${_sqlite_cache}")
  execute_process(COMMAND ${TARVO_apt_get} source sqlite3
                  WORKING_DIRECTORY "${work}/source"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  file(GLOB dsc "${work}/source/sqlite3_*.dsc")
  list(LENGTH dsc dsc_count)
  if(NOT rc EQUAL 0 OR NOT dsc_count EQUAL 1)
    message(FATAL_ERROR
      "SQLite: `apt-get source sqlite3` gave no source package (${rc}). The Debian "
      "source lists are needed: run scripts/install-deps.sh, then configure again.\n${out}")
  endif()
  file(STRINGS "${dsc}" version_line REGEX "^Version:")
  string(REGEX REPLACE "^Version:[ \t]*" "" debian_version "${version_line}")
  _sqlite_upstream_version("${debian_version}" upstream)
  set(tree "${work}/source/sqlite3-${upstream}")
  if(debian_version STREQUAL "" OR NOT EXISTS "${tree}/configure" OR NOT EXISTS "${tree}/tool/mksqlite3c.tcl")
    message(FATAL_ERROR "SQLite: the source of sqlite3 ${debian_version} is missing from ${tree}.")
  endif()

  message(STATUS "SQLite: making the amalgamation of ${debian_version}")
  cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)
  # Host tools only: nothing of the cross build may leak into the native configure.
  set(host_env ${CMAKE_COMMAND} -E env --unset=CC --unset=CFLAGS --unset=CPPFLAGS
               --unset=LDFLAGS --unset=MAKEFLAGS --unset=MFLAGS)
  _sqlite_run("configure" WORKING_DIRECTORY "${work}/build"
              COMMAND ${host_env} sh "${tree}/configure" --disable-tcl --disable-readline)
  _sqlite_run("make sqlite3.c" WORKING_DIRECTORY "${work}/build"
              COMMAND ${host_env} ${TARVO_make} -j${jobs} TCLSH_CMD=${TARVO_tclsh} sqlite3.c)

  foreach(file sqlite3.c sqlite3.h)
    if(NOT EXISTS "${work}/build/${file}")
      message(FATAL_ERROR "SQLite: the amalgamation build made no ${file}.")
    endif()
    file(COPY "${work}/build/${file}" DESTINATION "${_sqlite_amalgamation}")
  endforeach()
  _sqlite_header_version("${_sqlite_amalgamation}/sqlite3.h" made)
  if(NOT made STREQUAL upstream)
    message(FATAL_ERROR "SQLite: the amalgamation says ${made}, the source package ${debian_version}.")
  endif()

  # Keep the fetched package for reference; the unpacked tree and the build are large.
  file(REMOVE_RECURSE "${work}/build" "${tree}")
  file(WRITE "${_sqlite_version_file}" "${debian_version}\n")
endfunction()

file(MAKE_DIRECTORY "${_sqlite_cache}")
file(LOCK "${_sqlite_cache}" DIRECTORY GUARD FILE TIMEOUT 1800 RESULT_VARIABLE lock_result)
if(NOT lock_result EQUAL 0)
  message(FATAL_ERROR "SQLite: cannot lock ${_sqlite_cache}: ${lock_result}")
endif()
if(NOT EXISTS "${_sqlite_version_file}" OR NOT EXISTS "${_sqlite_amalgamation}/sqlite3.c"
   OR NOT EXISTS "${_sqlite_amalgamation}/sqlite3.h")
  _sqlite_make_amalgamation()
endif()
file(LOCK "${_sqlite_cache}" DIRECTORY RELEASE)

file(STRINGS "${_sqlite_version_file}" TARVO_SQLITE_DEBIAN_VERSION LIMIT_COUNT 1)
_sqlite_upstream_version("${TARVO_SQLITE_DEBIAN_VERSION}" _sqlite_upstream)
_sqlite_header_version("${_sqlite_amalgamation}/sqlite3.h" _sqlite_header)
if(NOT _sqlite_header STREQUAL _sqlite_upstream)
  message(FATAL_ERROR "SQLite: ${_sqlite_cache} holds ${_sqlite_header} but records "
                      "${TARVO_SQLITE_DEBIAN_VERSION}; delete the folder and configure again.")
endif()
message(STATUS "SQLite: ${TARVO_SQLITE_DEBIAN_VERSION} from ${_sqlite_amalgamation}")
# A removed cache makes the next build configure (and fetch) again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${_sqlite_version_file}" "${_sqlite_amalgamation}/sqlite3.c" "${_sqlite_amalgamation}/sqlite3.h")

add_library(sqlite3_static STATIC "${_sqlite_amalgamation}/sqlite3.c")
target_include_directories(sqlite3_static SYSTEM PUBLIC "${_sqlite_amalgamation}")
target_compile_definitions(sqlite3_static PRIVATE
  SQLITE_THREADSAFE=1
  SQLITE_OMIT_LOAD_EXTENSION
  SQLITE_OMIT_DEPRECATED
  SQLITE_OMIT_SHARED_CACHE
  SQLITE_DQS=0
  SQLITE_DEFAULT_MEMSTATUS=0
  SQLITE_LIKE_DOESNT_MATCH_BLOBS
  SQLITE_TEMP_STORE=2
  SQLITE_USE_ALLOCA)
# Someone else's code: our warning options are for our own sources.
target_compile_options(sqlite3_static PRIVATE -w)
