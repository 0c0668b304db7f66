# GIF writing speed: a 2000 x 1500 picture through GIF_write and GIF_encode.
zem_add_bench(bench_gif bench_gif.cpp)
