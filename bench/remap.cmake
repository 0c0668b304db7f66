# Remapping speed: full-disk satellite view onto a Lambert domain, and a real
# GVAR AREA file through its satellite navigation.
zem_add_bench(bench_remap bench_remap.cpp)
target_compile_definitions(bench_remap PRIVATE ZEM_BENCH_TESTDATA="${ORLO_TESTDATA}")
