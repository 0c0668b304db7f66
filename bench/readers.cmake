# Reading speed of the GINI (plain, zlib) and LRIT (full disk) readers.
zem_add_bench(bench_readers bench_readers.cpp)
target_compile_definitions(bench_readers PRIVATE ZEM_BENCH_TESTDATA="${ORLO_TESTDATA}")
