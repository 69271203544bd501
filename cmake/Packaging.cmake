# Install rules and CPack: a zip from the Windows build, a Debian package from the native
# one. scripts/package builds both and runs cpack in each.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME copycheck)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The copycheck developers")
set(CPACK_PACKAGE_CONTACT "The copycheck developers <copycheck@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "confirm that a directory tree was copied correctly")
set(CPACK_STRIP_FILES ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# cpack installs what scripts/package has just built; without this it would first build
# every target (tests and benchmarks too).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(staged ${PROJECT_BINARY_DIR}/packaging)

if(WIN32)
    # Text files as Notepad expects them: CR LF, and UTF-8 with a byte order mark so the
    # Japanese shows.
    function(copycheck_windows_text source target)
        file(READ ${source} text)
        string(CONFIGURE "${text}" text @ONLY)
        string(REPLACE "\n" "\r\n" text "${text}")
        string(ASCII 239 187 191 bom)
        file(WRITE ${target} "${bom}${text}")
        set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    endfunction()
    copycheck_windows_text(${packaging}/windows/README.txt ${staged}/README.txt)
    copycheck_windows_text(${PROJECT_SOURCE_DIR}/LICENSE ${staged}/LICENSE.txt)

    install(TARGETS copycheck copycheck-cli RUNTIME DESTINATION .)
    install(FILES ${staged}/README.txt ${staged}/LICENSE.txt DESTINATION .)

    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME copycheck-${PROJECT_VERSION}-windows-x64)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
    include(CPack)
    return()
endif()

find_program(HELP2MAN help2man)
find_program(MAN man)
find_program(DPKG_PARSECHANGELOG dpkg-parsechangelog)
if(NOT HELP2MAN OR NOT MAN OR NOT DPKG_PARSECHANGELOG)
    message(STATUS "help2man, man or dpkg-dev missing (scripts/setup installs them): "
        "no manual page and no Debian package")
    return()
endif()

# The changelog's newest entry must be this version: a new version needs its entry.
execute_process(COMMAND ${DPKG_PARSECHANGELOG} -l ${packaging}/changelog -S Version
    OUTPUT_VARIABLE changelog_version OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT changelog_version STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "packaging/changelog's newest entry is ${changelog_version}, "
        "the project is ${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION}")
endif()
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${packaging}/changelog)

set(page ${staged}/copycheck-cli.1)
add_custom_command(OUTPUT ${page} ${page}.gz ${page}.txt
    COMMAND ${CMAKE_COMMAND} -DCLI=$<TARGET_FILE:copycheck-cli>
        -DINCLUDE=${packaging}/copycheck-cli.h2m -DFIXUPS=${packaging}/man-fixups.sed
        -DCHANGELOG=${packaging}/changelog -DOUTPUT=${page}
        -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    DEPENDS copycheck-cli ${packaging}/copycheck-cli.h2m ${packaging}/man-fixups.sed
        ${packaging}/changelog ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    COMMENT "Generating and checking the manual page copycheck-cli(1)")
add_custom_command(OUTPUT ${staged}/changelog.gz
    COMMAND gzip -9n -c ${packaging}/changelog > ${staged}/changelog.gz
    DEPENDS ${packaging}/changelog)
add_custom_target(copycheck-cli-docs ALL DEPENDS ${page}.gz ${staged}/changelog.gz)

install(TARGETS copycheck-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/copyright ${staged}/changelog.gz ${PROJECT_SOURCE_DIR}/README.md
    DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION [=[
copycheck-cli confirms that a directory tree copied onto backup media was
written correctly. It walks the source tree, checks that every file exists
at the same place in the copy and compares the two files byte for byte.

It reads the copy back from the medium rather than from the page cache (a
check that reads what is still in memory proves nothing), never writes to
either tree, and reports a file it cannot read as a difference. The exit
status says whether the copy matches, so scripts can act on it.]=])
include(CPack)
