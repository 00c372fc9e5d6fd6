# Windows builds: Unicode entry points, static runtime, one .exe that runs alone.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
add_compile_options(-Wall -Wextra)
add_link_options(-static)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

# Windows test programs run under Wine.
if(CMAKE_CROSSCOMPILING)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
endif()

# GoogleTest from Debian's sources, built with MinGW inside the build tree.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(TARVO_WINDOWS_TESTS ON)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  set(TARVO_WINDOWS_TESTS OFF)
endif()

# A GUI program of ours.
function(tarvo_gui_program target)
  target_link_options(${target} PRIVATE -mwindows -municode)
endfunction()
