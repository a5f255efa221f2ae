# Each folder of src/ is one static library of its *.cpp files (Qt Core at most) and, when it has
# windows, one more library of its ui/ folder. Each folder of tests/ is one test executable.

function(kyt_library name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

function(kyt_ui_library name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h ${dir}/*.ui)
  if(sources)
    add_library(${name} STATIC ${sources})
    set_target_properties(${name} PROPERTIES AUTOMOC ON AUTOUIC ON)
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC Qt6::Widgets ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# The real-world documents the tests read; a clone whose shared folder lives elsewhere points at it.
set(KYT_CORPUS_DIR "${PROJECT_SOURCE_DIR}/../shared/corpus/real-documents" CACHE PATH
    "Folder of the real-world test documents")

# The throwaway PostgreSQL server of one ctest run (scripts/throwaway-server): started before the first
# test that needs it, stopped after the last.
set(KYT_TEST_SERVER_DIR "${PROJECT_BINARY_DIR}/test-server")

# kyt_tests(<name> <dir> DEPS ... [WINDOWS] [CLI] [ONE_PROCESS <gtest pattern>...] [SERVER <gtest pattern>...]) :
# one GoogleTest executable of <dir>/*.cpp. WINDOWS runs it on Qt's offscreen platform. CLI builds kyt-cli
# first and tells the tests where it is (KYT_CLI), for the tests that run it. The cases matching
# ONE_PROCESS share a slow set-up (the corpus, LibreOffice): ctest runs them together in one process, the
# others one per process. The cases matching SERVER run a second time on a database of the throwaway
# server (named <case>.server; KYT_TEST_ENGINE=postgresql tells support/engine.h).
function(kyt_tests name dir)
  cmake_parse_arguments(ARG "WINDOWS;CLI" "" "DEPS;ONE_PROCESS;SERVER" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} kyt_test_support GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    KYT_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KYT_CORPUS_DIR="${KYT_CORPUS_DIR}"
    KYT_TEST_SERVER_DIR="${KYT_TEST_SERVER_DIR}")
  set(environment "")
  if(ARG_CLI)
    target_compile_definitions(${name} PRIVATE KYT_CLI="$<TARGET_FILE:kyt-cli>")
    add_dependencies(${name} kyt-cli)
    list(APPEND environment "KYT_CLI=$<TARGET_FILE:kyt-cli>")
  endif()
  if(ARG_WINDOWS)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE Qt6::Test)
    list(APPEND environment "QT_QPA_PLATFORM=offscreen")
  endif()
  set(props "")
  if(environment)
    set(props ENVIRONMENT "${environment}")
  endif()
  if(ARG_ONE_PROCESS)
    string(JOIN ":" grouped ${ARG_ONE_PROCESS})
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "-${grouped}" PROPERTIES ${props})
    add_test(NAME ${name}.OneProcess COMMAND ${name} --gtest_filter=${grouped})
    if(props)
      set_tests_properties(${name}.OneProcess PROPERTIES ${props})
    endif()
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
  endif()
  if(ARG_SERVER)
    string(JOIN ":" onServer ${ARG_SERVER})
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "${onServer}" TEST_SUFFIX ".server"
                         PROPERTIES ${props} ENVIRONMENT_MODIFICATION KYT_TEST_ENGINE=set:postgresql
                                    FIXTURES_REQUIRED kyt_test_server)
  endif()
endfunction()
