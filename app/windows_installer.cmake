# The Windows installer, murenta-tervalis-helper-<version>-setup.exe in the build folder, made with
# makensis from the program and its console launcher. Included by app/CMakeLists.txt for Windows builds.
find_program(MAKENSIS makensis REQUIRED)
set(MTH_VERSION_SHORT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
set(MTH_INSTALLER_FILE ${CMAKE_BINARY_DIR}/murenta-tervalis-helper-${MTH_VERSION_SHORT}-setup.exe)
set(MTH_PROGRAM_FILE $<TARGET_FILE:murenta-tervalis-helper>)
set(MTH_LAUNCHER_FILE $<TARGET_FILE:murenta-tervalis-helper-console>)
configure_file(murenta-tervalis-helper.nsi.in ${CMAKE_CURRENT_BINARY_DIR}/installer.nsi.in @ONLY)
file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/installer.nsi INPUT ${CMAKE_CURRENT_BINARY_DIR}/installer.nsi.in)
add_custom_command(OUTPUT ${MTH_INSTALLER_FILE}
    COMMAND ${MAKENSIS} -V2 ${CMAKE_CURRENT_BINARY_DIR}/installer.nsi
    DEPENDS murenta-tervalis-helper murenta-tervalis-helper-console ${CMAKE_CURRENT_BINARY_DIR}/installer.nsi
            ${icon_ico}
    COMMENT "Making the installer")
add_custom_target(installer ALL DEPENDS ${MTH_INSTALLER_FILE})
