# The memo view and the memo editor, hosted in-process under Wine.
if(WIN32)
  tessaly_add_gtest(memo_view_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/MainDlgTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ViewHarness.cpp ${CMAKE_CURRENT_LIST_DIR}/ViewTest.rc
            ${TESSALY_ROOT}/tests/shared/ui/UiDriver.cpp ${TESSALY_ROOT}/tests/shared/data/DataFileBuilder.cpp
    LIBS TessalyView tool_common tessaly_test_support afxwin shlwapi
    LABELS ui)
  target_include_directories(memo_view_test PRIVATE ${TESSALY_ROOT}/tests ${TESSALY_ROOT}/tests/shared/ui
    ${CMAKE_CURRENT_LIST_DIR})
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/ViewTest.rc PROPERTIES OBJECT_DEPENDS "${TESSALY_VIEW_RC_DEPENDS}")

  # Opening a 10,000-memo file in the view against the bare minimum (bench/).
  add_executable(bench_view ${TESSALY_ROOT}/bench/ViewBench.cpp ${CMAKE_CURRENT_LIST_DIR}/ViewHarness.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ViewTest.rc ${TESSALY_ROOT}/tests/shared/ui/UiDriver.cpp
    ${TESSALY_ROOT}/tests/shared/data/DataFileBuilder.cpp)
  target_include_directories(bench_view PRIVATE ${TESSALY_ROOT}/tests ${TESSALY_ROOT}/tests/shared/ui
    ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(bench_view PRIVATE TessalyView tool_common tessaly_test_support afxwin shlwapi)
endif()
