# How the executables are compiled and linked by GCC and Clang.
#
# Free of the folders they were built in: compiler-made file names (__FILE__,
# debug information) name the sources relative to the source folder and the
# generated files (moc, rcc) relative to the build folder, so two builds of
# one commit in two folders give the same bytes. The build folder is mapped
# last: it may lie inside the source folder, and the last matching map wins.
# A Debug build keeps whole paths, for a debugger started anywhere.
add_compile_options(
  "$<$<NOT:$<CONFIG:Debug>>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
  "$<$<NOT:$<CONFIG:Debug>>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>")

# Hardened as distributions expect of a package: stack protector, checked
# string and memory functions where the optimiser can check them, and a
# relocation table made read-only before the program starts. The sanitizer
# and fuzzer builds bring checks of their own, which the checked functions
# would get in the way of.
if(NOT WIN32 AND NOT APPLE AND NOT QUILLET_SANITIZE AND NOT QUILLET_FUZZ)
  add_compile_options(
    -fstack-protector-strong
    $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-D_FORTIFY_SOURCE=2>)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
