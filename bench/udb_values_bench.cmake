tarvolin_add_bench(NAME udb_values_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/udb_values_bench.cpp LIBS udb)
