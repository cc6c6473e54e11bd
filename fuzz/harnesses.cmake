# The fuzz harnesses, built into the fuzz programs and into the regression
# tests of the normal build.
set(CORVINA_FUZZ_HARNESSES
  ${PROJECT_SOURCE_DIR}/fuzz/fuzz_support.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/frame_search_harness.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/decoder_harness.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/demux_harness.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/wave_output_harness.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/tag_reader_harness.cpp
)
