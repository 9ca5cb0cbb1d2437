# The whole conversion of a generated 1 000 000-row table of mixed types by DRXAGENT, next to
# the two floors: the MySQL client reading it alone, and oralite writing it alone.
tarvolin_add_bench(NAME driver_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/driver_bench.cpp
                   LIBS platform oci sql ${CMAKE_DL_LIBS})
target_compile_definitions(driver_bench PRIVATE TARVOLIN_SOURCE_DIR="${TARVOLIN_ROOT}"
                                                TARVOLIN_BINARY_DIR="${CMAKE_BINARY_DIR}")
# The floors run in its own process: with the allocator the conversion has, they measure the
# same work under the same malloc.
tarvolin_use_thread_allocator(driver_bench)
# The programs it runs.
add_dependencies(driver_bench DRXAGENT)
if(TARGET oralite_tool)
    add_dependencies(driver_bench oralite oralite_tool)
endif()
