# Cross-compiles for 64-bit Windows with Debian's mingw-w64 compilers (the
# posix-thread ones, which std::thread and Qt need).
#
# QUILLET_QT_PREFIX names a Qt built for this target (scripts/windows.sh
# makes one); the host's Qt provides the tools that run during the build
# (moc, rcc, uic).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLET_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLET_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLET_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLET_MINGW_TRIPLE}-windres)

# Libraries and packages come only from the target's own folders; programs
# from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${QUILLET_MINGW_TRIPLE})
if(DEFINED ENV{QUILLET_QT_PREFIX} AND NOT QUILLET_QT_PREFIX)
  set(QUILLET_QT_PREFIX "$ENV{QUILLET_QT_PREFIX}")
endif()
if(QUILLET_QT_PREFIX)
  list(PREPEND CMAKE_FIND_ROOT_PATH "${QUILLET_QT_PREFIX}")
  list(PREPEND CMAKE_PREFIX_PATH "${QUILLET_QT_PREFIX}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The host's Qt, whose tools a cross build runs.
set(QT_HOST_PATH /usr CACHE PATH "Prefix of the host's Qt")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH
    "CMake package folder of the host's Qt")
