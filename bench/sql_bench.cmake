# Reading a large MySQL table through the MySQL source: rows per second and peak memory.
tarvolin_add_bench(NAME sql_read_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sql_read_bench.cpp
                   LIBS sql)
target_compile_definitions(sql_read_bench PRIVATE TARVOLIN_SOURCE_DIR="${TARVOLIN_ROOT}")
