# Build rules shared by every folder.

set(TESSALY_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)

if(WIN32)
  enable_language(RC)
  # Resource scripts are UTF-8.
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
  add_compile_definitions(WINVER=0x0501 _WIN32_WINNT=0x0501 _WIN32_IE=0x0600)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter)

  # GoogleTest, cross-built from the sources Debian ships.
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  # The build tree's own Wine prefix, made once before any test runs.
  set(TESSALY_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  add_custom_command(OUTPUT ${TESSALY_WINEPREFIX}/.tessaly-ready
    COMMAND ${TESSALY_ROOT}/cmake/make-wineprefix.sh ${TESSALY_WINEPREFIX}
    DEPENDS ${TESSALY_ROOT}/cmake/make-wineprefix.sh
    COMMENT "Creating the Wine prefix of this build tree"
    VERBATIM)
  add_custom_target(wineprefix ALL DEPENDS ${TESSALY_WINEPREFIX}/.tessaly-ready)
else()
  add_compile_options(-Wall -Wextra)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  option(TESSALY_SANITIZE "Build native libraries, tools and tests with ASan and UBSan" ON)
endif()

# Native targets that take outside input run under AddressSanitizer and
# UndefinedBehaviorSanitizer; benchmarks build their own unsanitized copies.
function(tessaly_sanitize target)
  if(NOT WIN32 AND TESSALY_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# A GoogleTest suite: natively every test case is its own CTest test; under
# Wine the whole executable is one test, since each start of Wine costs time.
function(tessaly_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  if(WIN32)
    target_link_libraries(${name} PRIVATE gtest gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "wine;${T_LABELS}")
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main)
    tessaly_sanitize(${name})
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "native;${T_LABELS}")
  endif()
endfunction()
