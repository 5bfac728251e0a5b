# The program as the download archives carry it: stripped, with no build
# folder's path inside (so two builds of one commit give the same bytes),
# and running on a machine without the compiler's runtime libraries.
if(NOT BODWRIGHT_RELEASE_BUILD)
  return()
endif()
if(MSVC)
  message(FATAL_ERROR "BODWRIGHT_RELEASE_BUILD takes GCC, Clang or MinGW-w64")
endif()

# The binary folder's map comes last, so that it wins where the build folder
# lies inside the sources.
add_compile_options("-ffile-prefix-map=${CMAKE_SOURCE_DIR}=."
                    "-ffile-prefix-map=${CMAKE_BINARY_DIR}=build")
add_link_options(-s)
if(MINGW)
  # The linker otherwise stamps the build's time into the PE header.
  add_link_options(-Wl,--no-insert-timestamp)
else()
  # glibc stays shared (it cannot be left out); the C++ runtime does not,
  # so the program runs on systems with an older libstdc++.
  add_link_options(-static-libstdc++ -static-libgcc)
endif()
# Read by FindZLIB: libz.a rather than the shared library or a DLL's import
# library, so the program needs no zlib of the user's system.
set(ZLIB_USE_STATIC_LIBS ON)
