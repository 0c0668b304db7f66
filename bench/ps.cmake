# PostScript speed: a 2000 x 1500 picture written as a PostScript page.
zem_add_bench(bench_ps bench_ps.cpp)
