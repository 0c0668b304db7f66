# Sample makers for the satellite formats no public file exists of: JPEG,
# 16-bit and mirrored LRIT segments, and Unisys images, made from real files.
zem_add_tool(lrit_variant lrit_variant.cpp)
zem_add_tool(unisys_make unisys_make.cpp)
