# One library per source folder, made from every .cpp in it, so that adding a
# file needs no build edit. A folder without sources yet is a header-only target.
function(lumetra_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;QT" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  # Headers are listed too so that moc sees every Q_OBJECT class they declare.
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(sources)
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PUBLIC ${LUMETRA_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} ${ARG_QT})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${LUMETRA_SOURCE_DIR}/src)
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
  # Shared test helpers: #include "support/...".
  target_include_directories(${name} PRIVATE ${LUMETRA_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    LUMETRA_SOURCE_DIR="${LUMETRA_SOURCE_DIR}"
    LUMETRA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    # A hung test fails on its own instead of holding up the whole run.
    PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "${ARG_ENV}" TIMEOUT 300)
endfunction()
