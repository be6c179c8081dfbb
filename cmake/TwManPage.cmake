# tw_man_page(<template> <name>): fills in a roff template (configure_file, @VARS@), gzips it at build time
# and installs it in section 1, the way Debian wants manual pages.
function(tw_man_page template name)
    set(page ${CMAKE_CURRENT_BINARY_DIR}/${name}.1)
    configure_file(${template} ${page} @ONLY)
    add_custom_command(OUTPUT ${page}.gz
        COMMAND gzip -9nc ${page} > ${page}.gz
        DEPENDS ${page}
        VERBATIM)
    add_custom_target(${name}_manual ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
