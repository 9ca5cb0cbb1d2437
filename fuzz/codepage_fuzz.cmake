tarvolin_add_fuzzer(NAME codepage_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/codepage_fuzz.cpp LIBS platform)
