# The driver's flows run on AREA samples made by the sample writer.
target_sources(test_orlo PRIVATE ${PROJECT_SOURCE_DIR}/tools/area_writer.cpp)
target_include_directories(test_orlo PRIVATE ${PROJECT_SOURCE_DIR}/tools)
