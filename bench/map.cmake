# Map background speed (run the program under xvfb-run).
zem_add_bench(bench_map bench_map.cpp)
target_compile_definitions(bench_map PRIVATE ZEM_ETC_DIR="${PROJECT_SOURCE_DIR}/etc")
