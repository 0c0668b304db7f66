# Colour tables, attribute strings and satellite enhancement; PNG and XWD files.
zem_add_test(test_colour_table test_colors.cpp)
zem_add_test(test_png_xwd test_png_xwd.cpp)
zem_add_xtest(test_colour_x test_colour_x.cpp)
