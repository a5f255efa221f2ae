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

# kyt_tests(<name> <dir> DEPS ... [WINDOWS]) : one GoogleTest executable of <dir>/*.cpp.
# WINDOWS runs it on Qt's offscreen platform.
function(kyt_tests name dir)
  cmake_parse_arguments(ARG "WINDOWS" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} kyt_test_support GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    KYT_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KYT_CORPUS_DIR="${PROJECT_SOURCE_DIR}/../shared/corpus/real-documents"
    KYT_CLI="$<TARGET_FILE:kyt-cli>")
  add_dependencies(${name} kyt-cli)
  set(props ENVIRONMENT "KYT_CLI=$<TARGET_FILE:kyt-cli>")
  if(ARG_WINDOWS)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    set(props ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KYT_CLI=$<TARGET_FILE:kyt-cli>")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()
