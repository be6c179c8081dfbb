# The Debian package: `cpack -G DEB` in a build folder (scripts/package.sh does it all). Library
# dependencies are computed by dpkg-shlibdeps from the programs; only what they load at run time, and
# so cannot be seen in their ELF headers, is named here.

set(TW_MAINTAINER "The Tarnwick developers <dev@tarnwick.invalid>")

# Debian's documentation of a package: the copyright file, and the changelog compressed as policy wants
# (-n: no name or time stamp inside, so the same input gives the same bytes).
set(TW_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tarnwick)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog
    VERBATIM)
add_custom_target(tw_package_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${TW_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tarnwick developers")
set(CPACK_PACKAGE_CONTACT ${TW_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watches directories for malicious file changes")
# Lines of at most 80 columns, as dpkg shows them.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tarnwick watches the directories you choose for malicious file changes: a git"
    "hook that appears, a lifecycle script added to package.json, an editor task"
    "that runs when a folder opens, invisible Unicode slipped into an AI agent's"
    "rules file. It sits in the system tray, raises a desktop notification for"
    "critical and high findings, lists every finding in a panel and opens any"
    "finding's file with its git diff."
    "."
    "The package holds the tray application, its watcher twwatch (inotify and"
    "YARA) and the bundled rule pack.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TW_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/tarnwick/tarnwick)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's SQLite driver is a plugin the store opens by name; the viewer runs /usr/bin/git for diffs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6sql6-sqlite)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS git)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
