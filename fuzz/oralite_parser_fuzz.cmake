tarvolin_add_fuzzer(NAME oralite_parser_fuzz
                    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/oralite_parser_fuzz.cpp
                    LIBS oralite_engine)
