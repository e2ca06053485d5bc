# Helpers that build the core part by part and keep the layering honest.

set(VELORA_CORE_PARTS "" CACHE INTERNAL "")

# velora_core_part(name dep...) : an object library core_<name> from src/<name>/*.cpp
# and src/<name>/detail/*.cpp.
function(velora_core_part name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.cpp
                                      ${CMAKE_SOURCE_DIR}/src/${name}/detail/*.cpp)
  set(VELORA_DEPS_${name} ${ARGN} CACHE INTERNAL "")
  if(NOT sources)
    # A part whose folder holds no code yet contributes nothing.
    return()
  endif()
  add_library(core_${name} OBJECT ${sources})
  # A part sees only its own headers and the public headers of the parts it builds on:
  # its include folder holds a link to its own source folder and, per part below it,
  # a folder of links to that part's headers, those in its detail/ folder left out. An
  # include that reaches upwards (ftp/ including settings/) or into another part's
  # helpers (schedule/ including transfer/detail/) fails to compile instead of
  # slipping through.
  set(visible ${CMAKE_BINARY_DIR}/layers/${name})
  file(REMOVE_RECURSE ${visible})
  file(MAKE_DIRECTORY ${visible})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${name} ${visible}/${name} SYMBOLIC)
  foreach(part IN ITEMS ${ARGN})
    file(MAKE_DIRECTORY ${visible}/${part})
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${part}/*.h)
    foreach(header IN LISTS headers)
      get_filename_component(file ${header} NAME)
      file(CREATE_LINK ${header} ${visible}/${part}/${file} SYMBOLIC)
    endforeach()
  endforeach()
  target_include_directories(core_${name} PRIVATE ${visible})
  foreach(dep IN LISTS ARGN)
    if(TARGET core_${dep})
      target_link_libraries(core_${name} PUBLIC core_${dep})
    endif()
  endforeach()
  set(VELORA_CORE_PARTS ${VELORA_CORE_PARTS} ${name} CACHE INTERNAL "")
endfunction()

# velora_part_closure(out name) : name and every part it builds on.
function(velora_part_closure out name)
  set(result ${name})
  foreach(dep IN LISTS VELORA_DEPS_${name})
    list(APPEND result ${dep})
  endforeach()
  list(REMOVE_DUPLICATES result)
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# velora_test(target PART part SOURCES files... [LIBS extra...] [LABELS l...] [LOCK res])
# A GoogleTest executable that links only the objects of <part> and what it builds on.
function(velora_test target)
  cmake_parse_arguments(T "" "PART;LOCK;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  if(T_PART STREQUAL "all")
    # Front-end tests link the whole core library, as the programs do.
    target_link_libraries(${target} PRIVATE velora_core)
  else()
    velora_part_closure(parts ${T_PART})
    foreach(p IN LISTS parts)
      if(TARGET core_${p})
        target_sources(${target} PRIVATE $<TARGET_OBJECTS:core_${p}>)
      endif()
    endforeach()
  endif()
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main
                        SQLite::SQLite3 JPEG::JPEG X11::X11 X11::Xinerama Threads::Threads PkgConfig::XXHASH
                        OpenSSL::SSL ${T_LIBS})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  target_compile_definitions(${target} PRIVATE VELORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                             VELORA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  set(props TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(T_LOCK)
    list(APPEND props RESOURCE_LOCK ${T_LOCK})
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 30 PROPERTIES ${props})
endfunction()
