# append_record into the embedded Oracle target: rows per second of plain records and MB per
# second of records with large values. Run build/bench/ora_bench [rows] [lob_rows] [lob_kib].
if(TARGET ora AND TARGET oralite AND TARGET oralite_tool)
    tarvolin_add_bench(NAME ora_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/ora_bench.cpp LIBS ora)
    add_dependencies(ora_bench oralite oralite_tool)
endif()
