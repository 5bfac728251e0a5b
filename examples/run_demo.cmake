# Converts the bundled sample model with its material file and lists the
# files the conversion wrote. Run by the "demo" target.
file(REMOVE_RECURSE "${OUT_DIR}")
file(MAKE_DIRECTORY "${OUT_DIR}")
file(COPY "${SAMPLE_DIR}/sample.cmp" "${SAMPLE_DIR}/sample.mat" DESTINATION "${OUT_DIR}")

execute_process(COMMAND "${PROGRAM}" "${OUT_DIR}/sample.cmp" "${OUT_DIR}/sample.mat" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the conversion ended with exit status ${status}")
endif()

message("")
message("Files in ${OUT_DIR}:")
file(GLOB written RELATIVE "${OUT_DIR}" "${OUT_DIR}/*")
list(SORT written)
foreach(name IN LISTS written)
  file(SIZE "${OUT_DIR}/${name}" size)
  message("  ${name}  (${size} bytes)")
endforeach()
