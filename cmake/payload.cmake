# Setup payloads: a manifest and the folders that hold the files it lists, turned into a
# resource script by tools/payload_rc.py.
include_guard(GLOBAL)

# Kept globally: the function may be called from any directory.
set_property(GLOBAL PROPERTY TARVO_PAYLOAD_RC_TOOL ${CMAKE_CURRENT_LIST_DIR}/../tools/payload_rc.py)

# tarvo_payload_rc(OUT_RC <file.rc> MANIFEST <setup.ini> ROOTS <dir>...
#                  [DEPENDS <file or target>...] [TARGET <name>])
#
# Writes OUT_RC at build time: the manifest as FILE0/SRC0 and each entry's file, looked
# for in the ROOTS in order. The build fails, naming them, on an entry without a file and
# on a file in a root that no entry names. Files below roots in the source tree are found
# by themselves; whatever makes files in the build tree goes into DEPENDS. TARGET names a
# custom target that brings the script up to date, for use from other directories.
function(tarvo_payload_rc)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "OUT_RC;MANIFEST;TARGET" "ROOTS;DEPENDS")
  get_property(TARVO_PAYLOAD_RC_TOOL GLOBAL PROPERTY TARVO_PAYLOAD_RC_TOOL)
  cmake_path(NORMAL_PATH TARVO_PAYLOAD_RC_TOOL)
  if(NOT arg_OUT_RC OR NOT arg_MANIFEST OR NOT arg_ROOTS)
    message(FATAL_ERROR "tarvo_payload_rc: OUT_RC, MANIFEST and ROOTS are needed")
  endif()
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "tarvo_payload_rc: unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  cmake_path(ABSOLUTE_PATH arg_OUT_RC BASE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  cmake_path(ABSOLUTE_PATH arg_MANIFEST BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})

  set(root_args)
  set(source_files)
  foreach(root IN LISTS arg_ROOTS)
    cmake_path(ABSOLUTE_PATH root BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND root_args --root ${root})
    cmake_path(IS_PREFIX CMAKE_BINARY_DIR ${root} in_build_tree)
    if(NOT in_build_tree)
      # A file added to or removed from a source root configures the build again.
      file(GLOB_RECURSE found CONFIGURE_DEPENDS LIST_DIRECTORIES false ${root}/*)
      list(APPEND source_files ${found})
    endif()
  endforeach()

  add_custom_command(
    OUTPUT ${arg_OUT_RC}
    COMMAND python3 ${TARVO_PAYLOAD_RC_TOOL} --manifest ${arg_MANIFEST} ${root_args}
            --out ${arg_OUT_RC} --depfile ${arg_OUT_RC}.d
    DEPENDS ${TARVO_PAYLOAD_RC_TOOL} ${arg_MANIFEST} ${source_files} ${arg_DEPENDS}
    DEPFILE ${arg_OUT_RC}.d
    COMMENT "Listing the payload of ${arg_MANIFEST}"
    VERBATIM)
  if(arg_TARGET)
    add_custom_target(${arg_TARGET} DEPENDS ${arg_OUT_RC})
  endif()
endfunction()

# tarvo_setup_with_generated_payload(<name> [EXCLUDE_FROM_ALL] ARGS <generator args>...
#                                    [ROOTS <dir>...] [DEPENDS <file or target>...])
#
# Tarvosetup linked with a payload that bench/install/make_bench_payload.py generates
# at build time into <binary dir>/<name> (its setup.ini and files/), for the install
# benchmark and the install-at-scale test. ROOTS: further folders of the manifest's
# files, searched after the generated ones.
function(tarvo_setup_with_generated_payload name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "EXCLUDE_FROM_ALL" "" "ARGS;ROOTS;DEPENDS")
  set(generator ${CMAKE_SOURCE_DIR}/bench/install/make_bench_payload.py)
  set(payload_dir ${CMAKE_CURRENT_BINARY_DIR}/${name})
  add_custom_command(
    OUTPUT ${payload_dir}/setup.ini
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${payload_dir}
    COMMAND python3 ${generator} ${payload_dir} ${arg_ARGS}
    DEPENDS ${generator} ${arg_DEPENDS}
    COMMENT "Generating the payload of ${name}"
    VERBATIM)
  tarvo_payload_rc(OUT_RC ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc
                   MANIFEST ${payload_dir}/setup.ini ROOTS ${payload_dir}/files ${arg_ROOTS}
                   DEPENDS ${payload_dir}/setup.ini ${arg_DEPENDS} TARGET ${name}_payload)
  set(exclude)
  if(arg_EXCLUDE_FROM_ALL)
    set(exclude EXCLUDE_FROM_ALL)
  endif()
  add_executable(${name} ${exclude} ${CMAKE_SOURCE_DIR}/setup/WinMain.cpp
                 ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc)
  add_dependencies(${name} ${name}_payload)
  target_link_libraries(${name} PRIVATE tarvosetup_core tarvosetup_resources)
  tarvo_gui_program(${name})
endfunction()

# tarvo_app_database(<file.db>)
#
# Makes the application's database at build time from its SQL script
# (setup/payload/kiwa.sql), for the shipped payload and for the tests' payloads alike.
function(tarvo_app_database database)
  find_program(TARVO_SQLITE3 sqlite3 REQUIRED)
  set(script ${CMAKE_SOURCE_DIR}/setup/payload/kiwa.sql)
  cmake_path(GET database PARENT_PATH folder)
  add_custom_command(
    OUTPUT ${database}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${database}
    COMMAND ${TARVO_SQLITE3} -bail ${database} ".read \"${script}\""
    DEPENDS ${script}
    COMMENT "Making the database ${database}"
    VERBATIM)
endfunction()
