# GIF files (reader, writer, broken files) and, under Xvfb, GIF window dumps
# and animated loops; the loop-window message queue on real System V queues.
zem_add_test(test_gif test_gif.cpp)
zem_add_xtest(test_gif_x test_gif_x.cpp)
zem_add_test(test_mqueue test_mqueue.cpp)
