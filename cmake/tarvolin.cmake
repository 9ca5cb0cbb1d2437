# Helpers shared by every folder's CMakeLists.txt.

# tarvolin_use_thread_allocator(<target>)
# Links jemalloc into a program whose conversion runs on several threads. Its records are made
# on the reading thread and freed on the writing ones; glibc's malloc takes the lock of the
# making thread's arena for each such free, so the threads wait on each other, and a load spent
# about a tenth of its time in malloc and free. jemalloc frees into per-thread caches instead.
# --no-as-needed keeps the library although the program calls none of its names: it replaces
# malloc for the whole process, the libraries loaded at run time included. Without the library
# (scripts/setup installs it) the program keeps glibc's malloc.
find_library(TARVOLIN_JEMALLOC NAMES jemalloc)
if(NOT TARVOLIN_JEMALLOC)
    message(WARNING "jemalloc not found (scripts/setup installs libjemalloc-dev): the programs "
                    "use glibc's malloc, and a conversion runs slower")
endif()
function(tarvolin_use_thread_allocator target)
    if(TARVOLIN_JEMALLOC)
        target_link_libraries(${target} PRIVATE "-Wl,--push-state,--no-as-needed"
                              ${TARVOLIN_JEMALLOC} "-Wl,--pop-state")
    endif()
endfunction()

# tarvolin_add_gtest(NAME <name> SOURCES <files...> LIBS <libs...> [FIXTURES <fixtures...>]
#                    [LABELS <labels...>] [TIMEOUT <seconds>])
# Builds one GoogleTest executable and registers it with CTest as a single test, so that a
# suite that needs a server fixture starts it once. A suite that talks to MariaDB names the
# fixture "mariadb" and reads the server's connection values with
# tests/test_support/mariadb_sandbox.h.
function(tarvolin_add_gtest)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;FIXTURES;LABELS;ENVIRONMENT" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
    target_include_directories(${T_NAME} PRIVATE ${TARVOLIN_ROOT}/tests)
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
    if(T_FIXTURES)
        set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED "${T_FIXTURES}")
    endif()
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
    set(env "TARVOLIN_BIN_DIR=${CMAKE_BINARY_DIR}/bin" "TARVOLIN_SOURCE_DIR=${TARVOLIN_ROOT}"
            "TARVOLIN_MARIADB_ENV=${CMAKE_BINARY_DIR}/mariadb-sandbox.env")
    list(APPEND env ${T_ENVIRONMENT})
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}")
endfunction()
