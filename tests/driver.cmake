# The orlo program: driver decoding, the program run whole (help, exit
# statuses, image and PNG output, interactive use) and the driver's flows,
# all under one private Xvfb.
zem_add_xtest(test_orlo test_orlo.cpp)
