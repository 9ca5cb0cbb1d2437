tarvolin_add_fuzzer(NAME registry_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/registry_fuzz.cpp LIBS platform)
