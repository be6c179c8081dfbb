option(TW_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TW_FUZZ "Build the libFuzzer targets (clang only)" OFF)

if(TW_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

if(TW_FUZZ AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TW_FUZZ needs clang (configure with CXX=clang++)")
endif()

# A fuzz target compiles the sources it exercises itself, so that only they carry coverage feedback.
function(tw_add_fuzzer target)
    if(NOT TW_FUZZ)
        return()
    endif()
    cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${target} ${F_SOURCES})
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${target} PRIVATE ${F_LIBS})
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()
