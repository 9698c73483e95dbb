# imgdl_add_test(NAME SOURCES src... LIBS lib... [QT])
# One GoogleTest executable registered with ctest. QT makes it a widget test: moc and
# rcc run on it, and it links a main that creates a QApplication and the recording
# dialog service; every test runs with the offscreen platform so no display is needed.
function(imgdl_add_test name)
    cmake_parse_arguments(T "QT" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    if(T_QT)
        target_link_libraries(${name} PRIVATE imgdl_test_qt_support ${T_LIBS})
        set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
    else()
        target_link_libraries(${name} PRIVATE GTest::gtest_main ${T_LIBS})
    endif()
    target_link_libraries(${name} PRIVATE imgdl_test_support GTest::gtest GTest::gmock)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
        TIMEOUT 600)
endfunction()

# imgdl_add_fuzz_target(NAME SOURCES src... LIBS lib... CORPUS dir)
# With IMGDL_FUZZ the target is a libFuzzer binary; otherwise it is built with a
# replay driver and ctest runs it over the kept corpus (regression inputs).
function(imgdl_add_fuzz_target name)
    cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    if(IMGDL_FUZZ)
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    else()
        target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/ReplayMain.cpp)
        if(IMGDL_TESTS)
            add_test(NAME ${name}_replay COMMAND ${name} ${F_CORPUS})
            set_tests_properties(${name}_replay PROPERTIES
                ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1" TIMEOUT 600)
        endif()
    endif()
endfunction()
