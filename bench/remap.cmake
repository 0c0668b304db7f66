# Remapping speed: full-disk satellite view onto a Lambert domain.
zem_add_bench(bench_remap bench_remap.cpp)
