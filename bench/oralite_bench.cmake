# Insert throughput of the embedded Oracle target, through the OCI calls: single-row INSERT
# statements with commit (the product's path), bulk rows with binds, and LOB writes.
tarvolin_add_bench(NAME oralite_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/oralite_bench.cpp
                   LIBS oralite oralite_engine oci)
