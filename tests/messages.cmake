# Messages, prompts, process utilities, file names and file sequences.
zem_add_test(test_mess ${CMAKE_CURRENT_SOURCE_DIR}/test_mess.cpp)
zem_add_test(test_files ${CMAKE_CURRENT_SOURCE_DIR}/test_files.cpp)
