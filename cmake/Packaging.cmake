# The Debian package: `cpack -G DEB` in a Release build folder. Its
# dependencies are read off the binaries, so they follow whatever Qt the
# build used. The package holds files only, no scripts: installing or
# removing it never reaches a user's settings. Its maintainer and home page
# are set with the software-centre data, in data/.
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "The Quillet developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "rewrite folders of engine-computer ROM images in another bank layout")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillet rewrites whole folders of ROM images of Ford engine computers
from one bank layout into another: it recognises the layout of every image
in a source folder and writes each one again, with the program banks in
the order chosen and with or without fill, into a target folder.")
set(CPACK_PACKAGE_CONTACT "${QUILLET_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLET_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUILLET_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

if(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
  set(CPACK_QUILLET_SOURCE_DIR "${PROJECT_SOURCE_DIR}")
  set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/PackageTime.cmake")
elseif(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackage.cmake)
endif()
include(CPack)
