# Warnings are set per target so that third-party code pulled in by find_package is not affected.
option(TW_WERROR "Treat warnings as errors" OFF)

function(tw_target_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
        -Woverloaded-virtual -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        # Qt's headers trip these under clang; they say nothing about our code.
        target_compile_options(${target} PRIVATE -Wno-gnu-zero-variadic-macro-arguments)
    endif()
    if(TW_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
