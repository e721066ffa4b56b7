# TessalyExt.ocx under Wine, with the Palm Desktop stand-in as its host: its
# registration (through regsvr32, and in process against PalmAddOn.dll), its
# class objects and object count, the event sink and the hosted control in
# the stand-in's container.
if(NOT WIN32)
  return()
endif()
set(ext_gen ${CMAKE_BINARY_DIR}/extension)

# The sink is linked in directly, so that a recording view can stand in for
# the memo view; the control module's resources come with it.
set(desktop_tests ${TESSALY_ROOT}/tests/host/desktop)
tessaly_add_gtest(extension_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RegistrationTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ControlTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ExtensionTest.rc ${desktop_tests}/DesktopTestSupport.cpp
          ${TESSALY_ROOT}/tests/shared/ui/UiDriver.cpp
          ${TESSALY_ROOT}/extension/SinkObject.cpp ${ext_gen}/TessalyExt_i.c
  LIBS NvComn afxctl desktop_container shlwapi comctl32 ole32 oleaut32 uuid
  LABELS extension)
target_include_directories(extension_test PRIVATE ${TESSALY_ROOT}/extension ${TESSALY_ROOT}/host/include ${ext_gen}
  ${desktop_tests} ${TESSALY_ROOT}/tests/shared/ui)
add_dependencies(extension_test TessalyExt PalmAddOn)
# It registers the stand-in's add-on manager, as the desktop tests do.
set_tests_properties(extension_test PROPERTIES RESOURCE_LOCK hotsync_registry)
