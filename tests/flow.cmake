# Plot driver flows under Xvfb: sequences with unreadable files, refresh,
# plots without a domain, zoom/resize re-runs, driver plot parameters and
# image-file output, on AREA samples made by the sample writer.
zem_add_xtest(test_driver_flow test_driver_flow.cpp ${PROJECT_SOURCE_DIR}/tools/area_writer.cpp)
target_include_directories(test_driver_flow PRIVATE ${PROJECT_SOURCE_DIR}/tools)
