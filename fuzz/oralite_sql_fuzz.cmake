tarvolin_add_fuzzer(NAME oralite_sql_fuzz
                    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/oralite_sql_fuzz.cpp
                    LIBS oralite_engine)
