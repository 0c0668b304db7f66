# Regression cases for inputs found by the fuzz targets under tests/fuzz/
# (those targets themselves are built separately with clang; see
# tests/fuzz/CMakeLists.txt).
zem_add_test(test_fuzz_regress test_fuzz_regress.cpp)
