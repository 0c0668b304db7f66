# Frames, image display, the plot session and labels under Xvfb, and the
# orlo program run end to end on real data.
zem_add_xtest(test_gks_loop test_gks_loop.cpp)
zem_add_xtest(test_gks_img test_gks_img.cpp)
zem_add_xtest(test_plt test_plt.cpp)
zem_add_xtest(test_orlo_run test_orlo_run.cpp ${PROJECT_SOURCE_DIR}/tools/area_writer.cpp)
# The exit-status runs make their own small AREA file with the sample writer.
target_include_directories(test_orlo_run PRIVATE ${PROJECT_SOURCE_DIR}/tools)
