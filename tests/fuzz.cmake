# Broken, truncated and oversized inputs of every image reader, including
# the inputs the fuzz targets under tests/fuzz/ found (those targets are
# built separately with clang; see tests/fuzz/CMakeLists.txt).
zem_add_test(test_bad_input test_bad_input.cpp)
