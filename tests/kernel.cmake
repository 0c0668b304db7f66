# Graphics kernel: transforms and set-up helpers without X, then the X11
# workstation, primitives and events under Xvfb.
zem_add_test(test_gks_tran test_gks_tran.cpp)
zem_add_xtest(test_gks_x11 test_gks_x11.cpp)
