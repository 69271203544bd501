# The one version number, project(VERSION), in the Windows programs' version records and
# manifests (which the resource scripts find on the include path).
set(copycheck_generated ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/res/version.h.in ${copycheck_generated}/copycheck_version.h @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/res/copycheck.manifest.in ${copycheck_generated}/copycheck.manifest @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/res/copycheck-cli.manifest.in ${copycheck_generated}/copycheck-cli.manifest @ONLY)

# Compiles RC_FILE (which includes res/version.rc) into TARGET.
function(copycheck_version_record target rc_file)
    if(NOT WIN32)
        return()
    endif()
    target_sources(${target} PRIVATE ${rc_file})
    target_include_directories(${target} PRIVATE ${copycheck_generated})
    # windres does not track the files it includes.
    set_property(SOURCE ${rc_file} APPEND PROPERTY OBJECT_DEPENDS ${copycheck_generated}/copycheck_version.h
        ${copycheck_generated}/copycheck.manifest ${copycheck_generated}/copycheck-cli.manifest
        ${PROJECT_SOURCE_DIR}/res/version.rc)
endfunction()
