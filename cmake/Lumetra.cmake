# One library per source folder, made from every .cpp in it, so that adding a
# file needs no build edit. A folder without sources yet is a header-only target.
#
# A library shows the libraries above it only its public headers: every header
# of the folder but those listed after PRIVATE. The public ones are linked into
# <build>/include/<library>/<folder>/, which is all a user of the library gets
# on its include path; the library itself sees its whole folder.
function(lumetra_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;QT;PRIVATE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  # Headers are listed too so that moc sees every Q_OBJECT class they declare.
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(public_root ${CMAKE_BINARY_DIR}/include/${name})
  set(own_root ${CMAKE_BINARY_DIR}/include/${name}-own)
  file(REMOVE_RECURSE ${public_root} ${own_root})
  file(MAKE_DIRECTORY ${public_root}/${folder} ${own_root})
  foreach(private ${ARG_PRIVATE})
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${private})
      message(FATAL_ERROR "${name}: private header ${private} does not exist")
    endif()
  endforeach()
  foreach(header ${headers})
    get_filename_component(file ${header} NAME)
    if(NOT file IN_LIST ARG_PRIVATE)
      file(CREATE_LINK ${header} ${public_root}/${folder}/${file} SYMBOLIC)
    endif()
  endforeach()
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${own_root}/${folder} SYMBOLIC)
  if(sources)
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PRIVATE ${own_root} PUBLIC ${public_root})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} ${ARG_QT})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${public_root})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS} ${ARG_QT})
  endif()
endfunction()

# One test program per folder of tests/, from every .cpp in it.
function(lumetra_test name)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS;ENV" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock)
  # Shared test helpers: #include "support/...". Tests may look inside the
  # libraries they test, private headers included.
  target_include_directories(${name} PRIVATE ${LUMETRA_SOURCE_DIR}/tests ${LUMETRA_SOURCE_DIR}/src)
  target_compile_definitions(${name} PRIVATE
    LUMETRA_SOURCE_DIR="${LUMETRA_SOURCE_DIR}"
    LUMETRA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    # A hung test fails on its own instead of holding up the whole run.
    PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "${ARG_ENV}" TIMEOUT 300)
endfunction()
