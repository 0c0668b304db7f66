# Whole processes side by side: orlo (one frame, a 10-frame loop) and gdalwarp.
zem_add_bench(bench_loop bench_loop.cpp)
target_compile_definitions(bench_loop PRIVATE ZEM_BENCH_ORLO="$<TARGET_FILE:orlo>"
  ZEM_BENCH_ETC="${PROJECT_SOURCE_DIR}/etc")
add_dependencies(bench_loop orlo)
