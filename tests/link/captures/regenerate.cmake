# Rewrites every CAPTURE.expected.jsonl beside CAPTURE.bin with the output of `quelt frames --json`.
# Run through the build target regenerate_frames_expected; explain any change of an expected file in its commit.
file(GLOB captures "${DIR}/*.bin")
foreach(capture IN LISTS captures)
  string(REGEX REPLACE "\\.bin$" ".expected.jsonl" expected "${capture}")
  execute_process(COMMAND "${QUELT}" frames --json "${capture}" OUTPUT_FILE "${expected}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "quelt frames failed on ${capture}")
  endif()
endforeach()
