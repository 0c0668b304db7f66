# Plot driver: resource decoding and the orlo program's help and exit codes.
zem_add_test(test_driver test_driver.cpp)
zem_add_xtest(test_driver_x test_driver_x.cpp)
