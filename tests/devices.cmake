# File devices (PostScript, HP-GL/2, metafile, CGM), stroke text and fonts
# without an X server; the window's display list and printing under Xvfb.
zem_add_test(test_gks_devices test_gks_devices.cpp)
zem_add_xtest(test_gks_print_x test_gks_print_x.cpp)
