# bodwright.exe's version information (shown in the file's Properties) and
# its application manifest (run as the user who starts it, long paths),
# compiled into the program alone: the test programs need neither.
enable_language(RC)

# Windows wants four numbers where the project names two: the missing ones
# are 0.
set(bodwright_version_numbers ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR}
    ${PROJECT_VERSION_PATCH} ${PROJECT_VERSION_TWEAK})
list(LENGTH bodwright_version_numbers bodwright_version_count)
while(bodwright_version_count LESS 4)
  list(APPEND bodwright_version_numbers 0)
  math(EXPR bodwright_version_count "${bodwright_version_count} + 1")
endwhile()
list(JOIN bodwright_version_numbers "," BODWRIGHT_FILE_VERSION_COMMAS)
list(JOIN bodwright_version_numbers "." BODWRIGHT_FILE_VERSION_DOTS)

set(bodwright_resource_dir ${CMAKE_CURRENT_BINARY_DIR}/generated/windows)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows/bodwright.exe.manifest
               ${bodwright_resource_dir}/bodwright.exe.manifest @ONLY)
if(MSVC)
  # MSVC's linker writes a manifest of its own and merges the ones listed
  # among the sources; a second one in the resource would clash with it.
  set(BODWRIGHT_RC_MANIFEST "")
  target_sources(bodwright PRIVATE ${bodwright_resource_dir}/bodwright.exe.manifest)
else()
  # 1 is the manifest a program starts with, 24 the manifest resource type.
  set(BODWRIGHT_RC_MANIFEST "1 24 \"${bodwright_resource_dir}/bodwright.exe.manifest\"")
endif()
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/windows/bodwright.rc.in
               ${bodwright_resource_dir}/bodwright.rc @ONLY)
target_sources(bodwright PRIVATE ${bodwright_resource_dir}/bodwright.rc)
