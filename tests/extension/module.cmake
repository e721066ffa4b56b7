# TessalyExt.ocx under Wine: its registration (through regsvr32 and in
# process, against a stand-in add-on manager), its class objects and object
# count, the event sink against a stand-in host, and the hosted control.
if(NOT WIN32)
  return()
endif()
set(ext_gen ${CMAKE_BINARY_DIR}/extension)
find_program(TESSALY_WIDL NAMES i686-w64-mingw32-widl widl REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/bin/OtherLib.tlb
  COMMAND ${TESSALY_WIDL} -I/usr/include/wine/wine/windows -L/usr/lib/i386-linux-gnu/wine/i386-windows
          -t -o ${CMAKE_BINARY_DIR}/bin/OtherLib.tlb ${CMAKE_CURRENT_SOURCE_DIR}/OtherLib.idl
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/OtherLib.idl
  VERBATIM)
add_custom_target(ext_test_typelib DEPENDS ${CMAKE_BINARY_DIR}/bin/OtherLib.tlb)

# The sink is linked in directly, so that a recording view can stand in for
# the memo view; the control module's resources come with it.
tessaly_add_gtest(extension_test
  SOURCES FakeHost.cpp RegistrationTest.cpp ControlTest.cpp ExtensionTest.rc
          ${TESSALY_ROOT}/extension/SinkObject.cpp ${ext_gen}/TessalyExt_i.c
  LIBS NvComn afxctl ole32 oleaut32 uuid
  LABELS extension)
target_include_directories(extension_test PRIVATE ${TESSALY_ROOT}/extension ${TESSALY_ROOT}/host/include ${ext_gen})
add_dependencies(extension_test TessalyExt ext_test_typelib)
