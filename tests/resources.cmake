# Resources, flags, resource files, text helpers and dates.
zem_add_test(test_resrc ${CMAKE_CURRENT_SOURCE_DIR}/test_resrc.cpp)
zem_add_test(test_date ${CMAKE_CURRENT_SOURCE_DIR}/test_date.cpp)
