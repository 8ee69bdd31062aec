# Helpers for declaring the project's tests and fuzz targets.

# pavo_add_gtest(NAME SOURCES src... LIBS lib... [LABELS label...] [TIMEOUT seconds])
function(pavo_add_gtest name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} $<TARGET_OBJECTS:pavo_version_block>)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    if(NOT ARG_LABELS)
        set(ARG_LABELS unit)
    endif()
    # Where the sources and the build are, for tests that read data files or start built programs.
    target_compile_definitions(${name} PRIVATE PAVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                               PAVO_BINARY_DIR="${CMAKE_BINARY_DIR}")
    # One ENVIRONMENT entry only: a list would be split into separate properties on its way through.
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# pavo_add_fuzzer(NAME SOURCES src... LIBS lib... CORPUS dir [SECONDS n])
# Builds a libFuzzer target (when PAVO_FUZZ is on) and a bounded test run of it over its seed corpus.
function(pavo_add_fuzzer name)
    cmake_parse_arguments(ARG "" "CORPUS;SECONDS" "SOURCES;LIBS" ${ARGN})
    if(NOT PAVO_FUZZ)
        return()
    endif()
    if(NOT ARG_SECONDS)
        set(ARG_SECONDS 30)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
    add_test(NAME fuzz.${name}
        COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                $<TARGET_FILE:${name}> -max_total_time=${ARG_SECONDS} -rss_limit_mb=2048
                -timeout=10 -print_final_stats=1 ${work} ${ARG_CORPUS})
    set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT 600)
    file(MAKE_DIRECTORY ${work})
endfunction()
