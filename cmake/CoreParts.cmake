# Helpers that build the core part by part and keep the layering honest.

set(VELORA_CORE_PARTS "" CACHE INTERNAL "")

# velora_core_part(name dep...) : an object library core_<name> from src/<name>/*.cpp.
function(velora_core_part name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.cpp)
  set(VELORA_DEPS_${name} ${ARGN} CACHE INTERNAL "")
  if(NOT sources)
    # A part whose folder holds no code yet contributes nothing.
    return()
  endif()
  add_library(core_${name} OBJECT ${sources})
  # A part sees only its own headers and those of the parts it builds on: its include
  # folder holds links to exactly those source folders, so an include that reaches
  # upwards (ftp/ including settings/) fails to compile instead of slipping through.
  set(visible ${CMAKE_BINARY_DIR}/layers/${name})
  file(REMOVE_RECURSE ${visible})
  file(MAKE_DIRECTORY ${visible})
  foreach(part IN ITEMS ${name} ${ARGN})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${part} ${visible}/${part} SYMBOLIC)
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
                        SQLite::SQLite3 JPEG::JPEG X11::X11 X11::Xinerama Threads::Threads PkgConfig::XXHASH ${T_LIBS})
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
