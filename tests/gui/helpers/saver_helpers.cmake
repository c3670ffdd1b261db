# The screensaver suites' stand-ins for Windows 95/98's password libraries: MPR.DLL and
# PASSWORD.CPL, built into bin/saver-stubs (not bin, so no other program there loads them).
# The suites copy them beside the saver they start, and the saver itself must be built first.
foreach(stub mpr password)
  add_library(saver_${stub}_stub SHARED ${CMAKE_CURRENT_SOURCE_DIR}/saver/${stub}_stub.cpp)
  target_link_libraries(saver_${stub}_stub PRIVATE ${QUIRLA_WIN32_LIBS})
  # Undecorated stdcall names, as GetProcAddress asks for them.
  target_link_options(saver_${stub}_stub PRIVATE -Wl,--kill-at)
  set_target_properties(saver_${stub}_stub PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/saver-stubs)
endforeach()
set_target_properties(saver_mpr_stub PROPERTIES OUTPUT_NAME MPR SUFFIX .DLL)
set_target_properties(saver_password_stub PROPERTIES OUTPUT_NAME PASSWORD SUFFIX .CPL)
file(GLOB SAVER_SUITES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/../saver*_test.cpp)
foreach(suite ${SAVER_SUITES})
  get_filename_component(name ${suite} NAME_WE)
  add_dependencies(${name} saver saver_mpr_stub saver_password_stub)
endforeach()
