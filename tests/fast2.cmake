# The palette of large frames, indexed in two halves at once.
zem_add_test(test_img_palette test_img_palette.cpp)
