# Display speed: colouring a 2000 x 1500 image and putting it into an X11
# window (run the program under xvfb-run).
zem_add_bench(bench_display bench_display.cpp)
