# The download archives (cmake --workflow --preset package): this build
# makes the Linux program, a sub-build in <build>/windows the Windows one
# through the MinGW-w64 toolchain, both as BODWRIGHT_RELEASE_BUILD makes
# them and without tests; the target "archives" then writes the zip, the
# tar.gz and SHA256SUMS into this build folder.
if(WIN32 OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  message(FATAL_ERROR "BODWRIGHT_PACKAGE builds on Linux, the Windows program by cross-compiling")
endif()
include(ExternalProject)

set(bodwright_windows_dir ${CMAKE_BINARY_DIR}/windows)
ExternalProject_Add(bodwright_windows
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${bodwright_windows_dir}
  PREFIX ${CMAKE_BINARY_DIR}/windows-steps
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DBODWRIGHT_TESTS=OFF
    -DBODWRIGHT_WERROR=${BODWRIGHT_WERROR}
    -DBODWRIGHT_RELEASE_BUILD=ON
  # The program alone, two jobs: the Linux program is built first (DEPENDS),
  # so the machine's two cores are never asked for more.
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target bodwright --parallel 2
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  DEPENDS bodwright
  EXCLUDE_FROM_ALL ON)

find_program(BODWRIGHT_BASH bash REQUIRED)
add_custom_target(archives
  COMMAND ${BODWRIGHT_BASH} ${CMAKE_SOURCE_DIR}/packaging/make_archives.sh
          --source ${CMAKE_SOURCE_DIR}
          --out ${CMAKE_BINARY_DIR}
          --version ${PROJECT_VERSION}
          --linux $<TARGET_FILE:bodwright>
          --windows ${bodwright_windows_dir}/bodwright.exe
  COMMENT "Writing the download archives into ${CMAKE_BINARY_DIR}"
  VERBATIM)
add_dependencies(archives bodwright bodwright_windows)
