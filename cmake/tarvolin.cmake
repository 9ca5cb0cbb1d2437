# Helpers shared by every folder's CMakeLists.txt.

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
