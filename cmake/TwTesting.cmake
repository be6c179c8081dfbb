# Test helpers shared by every tests/ subfolder.
#
# Every test gets a label (unit, integration, gui, e2e) and a timeout. Paths the tests need are compiled
# in, so a test binary runs the same from ctest, a debugger or by hand.
include(GoogleTest)

set(TW_TEST_DEFINITIONS
    TW_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
    TW_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TW_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data"
    TW_TEST_BIN_DIR="${CMAKE_BINARY_DIR}/tests/bin")

# tw_gtest(<target> LABEL <label> [TIMEOUT <s>] SOURCES ... [LIBS ...] [PROPERTIES ...])
# One ctest entry per GoogleTest case, so a failure names its case and a hang is bounded per case.
function(tw_gtest target)
    cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 60)
    endif()
    add_executable(${target} ${T_SOURCES})
    target_link_libraries(${target} PRIVATE ${T_LIBS} tw_test_support GTest::gtest)
    target_compile_definitions(${target} PRIVATE ${TW_TEST_DEFINITIONS})
    tw_target_warnings(${target})
    gtest_discover_tests(${target}
        DISCOVERY_TIMEOUT 120
        PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT} ${T_PROPERTIES})
endfunction()

# tw_qtest(<target> LABEL <label> [TIMEOUT <s>] SOURCES ... [LIBS ...] [PROPERTIES ...])
# For widget tests written with QtTest (QTRY_VERIFY, QAbstractItemModelTester, signal spies).
function(tw_qtest target)
    cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${target} ${T_SOURCES})
    target_link_libraries(${target} PRIVATE ${T_LIBS} Qt6::Test)
    target_compile_definitions(${target} PRIVATE ${TW_TEST_DEFINITIONS})
    tw_target_warnings(${target})
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8" ${T_PROPERTIES})
endfunction()

# Small programs that tests start as child processes (scripted watchers, slow writers ...).
function(tw_test_program target)
    add_executable(${target} ${ARGN})
    tw_target_warnings(${target})
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
endfunction()
