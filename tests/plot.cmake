# Frames, image display, the plot session and labels under Xvfb, and the
# orlo program run end to end on real data.
zem_add_xtest(test_gks_loop test_gks_loop.cpp)
zem_add_xtest(test_gks_img test_gks_img.cpp)
zem_add_xtest(test_plt test_plt.cpp)
