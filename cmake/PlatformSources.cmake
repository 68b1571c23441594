# Which sources each platform builds, in one place: the build takes its own platform's share from here, and
# the Windows syntax check (scripts/check-windows.sh) reads the Windows share that this writes at configure
# time, so the two can never disagree. The rule: *_win.cpp only on Windows, *_posix.cpp and *_xdg.cpp
# everywhere else, every other source everywhere.

# trovander_select_sources(<out> windows|posix <file>...): the files of the list that platform builds.
function(trovander_select_sources out platform)
  set(selected ${ARGN})
  if(platform STREQUAL "windows")
    list(FILTER selected EXCLUDE REGEX "_(posix|xdg)\\.cpp$")
  else()
    list(FILTER selected EXCLUDE REGEX "_win\\.cpp$")
  endif()
  set(${out} ${selected} PARENT_SCOPE)
endfunction()

# trovander_sources(<target> [FILES <file>...]): adds to target the sources of the current folder (every
# .cpp, .h, .ui and .qrc in it, or the files given) that this platform builds, and notes the ones Windows
# builds for the check.
function(trovander_sources target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "FILES")
  if(arg_FILES)
    set(files)
    foreach(file IN LISTS arg_FILES)
      cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
      list(APPEND files ${file})
    endforeach()
  else()
    file(GLOB files CONFIGURE_DEPENDS
      ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
      ${CMAKE_CURRENT_SOURCE_DIR}/*.ui ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  endif()
  if(WIN32)
    trovander_select_sources(built windows ${files})
  else()
    trovander_select_sources(built posix ${files})
  endif()
  target_sources(${target} PRIVATE ${built})

  trovander_select_sources(windows windows ${files})
  list(FILTER windows INCLUDE REGEX "\\.cpp$")
  set_property(TARGET ${target} APPEND PROPERTY TROVANDER_WINDOWS_SOURCES ${windows})
  get_property(targets GLOBAL PROPERTY TROVANDER_WINDOWS_TARGETS)
  if(NOT target IN_LIST targets)
    set_property(GLOBAL APPEND PROPERTY TROVANDER_WINDOWS_TARGETS ${target})
  endif()
endfunction()

# trovander_write_windows_check(): after every target is defined, writes windows-check/<target>.args in the
# build folder for each target that took sources through trovander_sources: the target's own include
# folders and definitions (its libraries' included, as its compiler gets them), the language standard, the folder of its generated
# uic/moc headers, then a line "--" and the Windows sources, one a line. The SQLCipher header is reachable
# through windows-check/include, which holds that header alone: the system include folder itself would
# let Linux headers stand in for Windows ones.
function(trovander_write_windows_check)
  set(dir ${CMAKE_BINARY_DIR}/windows-check)
  find_file(TROVANDER_SQLCIPHER_HEADER sqlcipher/sqlite3.h PATHS ${SQLCIPHER_INCLUDE_DIRS}/.. REQUIRED)
  configure_file(${TROVANDER_SQLCIPHER_HEADER} ${dir}/include/sqlcipher/sqlite3.h COPYONLY)
  file(GLOB stale ${dir}/*.args)
  if(stale)
    file(REMOVE ${stale})
  endif()
  # This compiler's own folders (/usr/include, where libraries such as OpenGL put their headers) stay out
  # for the same reason.
  set(system_dirs)
  foreach(system_dir IN LISTS CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES)
    string(REGEX REPLACE "([][+.*()^$?|\\])" "\\\\\\1" system_dir "${system_dir}")
    list(APPEND system_dirs "${system_dir}")
  endforeach()
  list(JOIN system_dirs "|" system_dirs)
  get_property(targets GLOBAL PROPERTY TROVANDER_WINDOWS_TARGETS)
  foreach(target IN LISTS targets)
    set(includes "$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>")
    if(system_dirs)
      set(includes "$<FILTER:${includes},EXCLUDE,^(${system_dirs})/?$>")
    endif()
    set(definitions "$<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>")
    set(sources "$<TARGET_PROPERTY:${target},TROVANDER_WINDOWS_SOURCES>")
    file(GENERATE OUTPUT ${dir}/${target}.args CONTENT
"-std=c++${CMAKE_CXX_STANDARD}
-I${dir}/include
$<$<BOOL:${includes}>:-I$<JOIN:${includes},\n-I>
>-I$<TARGET_PROPERTY:${target},BINARY_DIR>/${target}_autogen/include
$<$<BOOL:${definitions}>:-D$<JOIN:${definitions},\n-D>
>--
$<JOIN:${sources},\n>
")
  endforeach()
endfunction()
