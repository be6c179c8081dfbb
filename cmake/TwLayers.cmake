# One library per layer folder (Tarnwick/records, twwatch/watch ...). A library sees the headers of
# its own folder and of the layers it links, nothing else: its include root in the build tree holds a
# link to its own folder alone. So a view that includes "shell/..." does not compile, and a layer that
# calls a layer it does not link does not link.
#
# tw_layer(<target> SOURCES ... [USES <layers and libraries its headers need>] [LIBS <private libraries>])
function(tw_layer target)
    cmake_parse_arguments(L "" "" "SOURCES;USES;LIBS" ${ARGN})
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    set(root ${CMAKE_BINARY_DIR}/layers/${target})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
    add_library(${target} STATIC ${L_SOURCES})
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${L_USES} PRIVATE ${L_LIBS})
    tw_target_warnings(${target})
endfunction()
