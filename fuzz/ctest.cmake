# The 60-second fuzz run as a test of the ordinary build. It configures and
# builds its own clang build directory (build/fuzz) the first time, which takes
# a few minutes on two cores, hence the long timeout.
add_test(NAME fuzz_drawing_60s COMMAND bash ${PROJECT_SOURCE_DIR}/fuzz/run_fuzz.sh 60)
set_tests_properties(fuzz_drawing_60s PROPERTIES TIMEOUT 590 LABELS fuzz)
