# The Windows packages: the portable zip and the installer, each holding the
# executables with the Qt and compiler runtime libraries they load. Made in
# the build folder by `cpack`, into dist/:
#   quillet-<version>-win64.zip, quillet-<version>-win64-setup.exe
foreach(module Core Gui Widgets)
  install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
        DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
if(TARGET Qt6::QWindowsVistaStylePlugin)
  install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
          DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)
endif()

# The compiler's runtime libraries, from wherever the compiler keeps them.
foreach(library libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${library}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}")
    message(FATAL_ERROR "The compiler does not know where ${library} is")
  endif()
  install(FILES "${path}" DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

# Everything shipped is stripped, the libraries too.
install(CODE "
  file(GLOB_RECURSE binaries \"\${CMAKE_INSTALL_PREFIX}/*.exe\" \"\${CMAKE_INSTALL_PREFIX}/*.dll\")
  foreach(binary IN LISTS binaries)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${binary}\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endforeach()")

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_FILE_NAME quillet-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/dist)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/WindowsPackageNames.cmake)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quillet)
# The installer's own registry key lies under the vendor's name, never the
# program's settings key (Software\Quillet\Quillet), which uninstalling
# leaves alone.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Quillet)
set(CPACK_PACKAGE_EXECUTABLES quillet Quillet)

# For all users under Program Files, with a Start-menu entry and an entry
# in the system's list of installed programs.
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME Quillet)
set(CPACK_NSIS_DISPLAY_NAME Quillet)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ${CMAKE_INSTALL_BINDIR})
set(CPACK_NSIS_INSTALLED_ICON_NAME quillet.exe)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/data/icons/quillet.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/data/icons/quillet.ico)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# A 64-bit installer for a 64-bit program (and one that 64-bit Wine runs).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
