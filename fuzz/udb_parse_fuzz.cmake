tarvolin_add_fuzzer(NAME udb_parse_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/udb_parse_fuzz.cpp LIBS udb)
