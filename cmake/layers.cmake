# The folders of layers.txt as libraries and programs.
#
# Each library folder becomes the static library veldra_<name> (<name>: the folder's path
# without "platform/", "/" turned into "_") of the folder's own *.cpp files. Its include
# root holds only the folder itself (a link build/include/<library>/<folder> to it), so
# its code and its users write "<folder>/<file>.h", and a folder reaches only the headers
# of the libraries it is linked to: the ones its line in layers.txt names, and theirs.

file(STRINGS ${CMAKE_SOURCE_DIR}/layers.txt veldra_layer_lines)
set(VELDRA_FOLDERS "")
foreach(line IN LISTS veldra_layer_lines)
  string(REGEX REPLACE "#.*" "" line "${line}")
  string(STRIP "${line}" line)
  if(line STREQUAL "")
    continue()
  endif()
  string(REGEX REPLACE "[ \t]+" ";" words "${line}")
  list(POP_FRONT words folder)
  list(APPEND VELDRA_FOLDERS ${folder})
  set_property(GLOBAL PROPERTY "VELDRA_USES ${folder}" "${words}")
endforeach()

# Programs and tests are built from their folders; every other folder is a library.
function(veldra_is_library folder result)
  if(folder MATCHES "^(tools/.*|tests|bench|fuzz|web)$")
    set(${result} FALSE PARENT_SCOPE)
  else()
    set(${result} TRUE PARENT_SCOPE)
  endif()
endfunction()

function(veldra_library_name folder result)
  string(REGEX REPLACE "^platform/" "" name "${folder}")
  string(REPLACE "/" "_" name "${name}")
  set(${result} veldra_${name} PARENT_SCOPE)
endfunction()

# An include root that holds the folder alone, for target (PUBLIC or PRIVATE).
function(veldra_folder_root target scope folder)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# Links target to the libraries that folder's line in layers.txt names (those this build
# makes: the browser's has no SDL back ends).
function(veldra_link_uses target scope folder)
  get_property(uses GLOBAL PROPERTY "VELDRA_USES ${folder}")
  foreach(used IN LISTS uses)
    veldra_builds_folder(${used} built)
    if(NOT built)
      continue()
    endif()
    veldra_library_name(${used} library)
    target_link_libraries(${target} ${scope} ${library})
  endforeach()
endfunction()

# Whether this build makes folder. The browser build (EMSCRIPTEN: em++, `make web`) makes
# the libraries the page stands on, its own back end (platform/web) and programs (web,
# and veldra-file's tuner for node), and nothing that needs SDL or a test framework; the
# native build makes everything but the browser's folders, the fuzz tree (VELDRA_FUZZ) only
# the libraries, the glyph tables' maker and the fuzz targets, and the benchmarks need
# Google Benchmark and a tree without sanitizers.
function(veldra_builds_folder folder result)
  if(VELDRA_FUZZ AND folder MATCHES "^(tools/.*|tests.*|bench)$" AND
     NOT folder STREQUAL "tools/glyph-tables")
    set(${result} FALSE PARENT_SCOPE)
    return()
  elseif(NOT VELDRA_FUZZ AND folder STREQUAL "fuzz")
    set(${result} FALSE PARENT_SCOPE)
    return()
  elseif(folder STREQUAL "bench" AND NOT (benchmark_FOUND AND VELDRA_SANITIZE STREQUAL ""))
    set(${result} FALSE PARENT_SCOPE)
    return()
  endif()
  if(EMSCRIPTEN)
    if(folder MATCHES "^(platform/backends|platform/backends/headless|tools/artwork|tools/glyph-tables|tools/instruction-budget|tools/screens|tests.*|bench|fuzz)$")
      set(${result} FALSE PARENT_SCOPE)
      return()
    endif()
  elseif(folder MATCHES "^(platform/web|web)$")
    set(${result} FALSE PARENT_SCOPE)
    return()
  endif()
  set(${result} TRUE PARENT_SCOPE)
endfunction()

# The library of a library folder, from its *.cpp files (and extra sources, if given); a
# main.cpp is a program's entry and stays out. In the browser build a file NAME_web.cpp
# stands in for NAME.cpp (and is left out of every other build), and the files the folder
# lists in VELDRA_NATIVE_ONLY (names, set before the call) are left out.
function(veldra_layer_library folder)
  veldra_library_name(${folder} library)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(EMSCRIPTEN)
    foreach(source IN LISTS sources)
      if(source MATCHES "^(.*)_web\\.cpp$")
        list(REMOVE_ITEM sources ${CMAKE_MATCH_1}.cpp)
      endif()
    endforeach()
    foreach(name IN LISTS VELDRA_NATIVE_ONLY)
      list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${folder}/${name})
    endforeach()
  else()
    list(FILTER sources EXCLUDE REGEX "_web\\.cpp$")
  endif()
  add_library(${library} STATIC ${sources} ${ARGN})
  veldra_folder_root(${library} PUBLIC ${folder})
  veldra_link_uses(${library} PUBLIC ${folder})
endfunction()

# A program of a program folder: its own folder's headers and what the folder may use.
function(veldra_layer_program target folder)
  veldra_folder_root(${target} PRIVATE ${folder})
  veldra_link_uses(${target} PRIVATE ${folder})
endfunction()
