# Ingest tools: AREA physical-variant converter.
zem_add_tool(area_variant area_variant.cpp)
