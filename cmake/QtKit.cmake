# Unpacks the Qt kit for Windows (a tarball, QMC_QT_KIT) into the build directory and lets
# find_package() see it. The tarball is unpacked again only when it changes.
# Only a build for Windows takes it: the environment that names it for the windows
# configuration is also the environment of the Linux ones.
if(NOT WIN32)
    return()
endif()
set(QMC_QT_KIT "" CACHE FILEPATH "Tarball of a cross-built Qt for the Windows build")
# The environment names another place for a tree whose kit is not beside the clone
# (QMC_WINDOWS_KIT, or its older name QMC_QT_KIT), for a configuration that takes a kit.
if(NOT QMC_QT_KIT)
    return()
endif()
foreach(qmc_kit_variable QMC_QT_KIT QMC_WINDOWS_KIT)
    if(DEFINED ENV{${qmc_kit_variable}} AND NOT "$ENV{${qmc_kit_variable}}" STREQUAL "")
        set(QMC_QT_KIT "$ENV{${qmc_kit_variable}}" CACHE FILEPATH "" FORCE)
    endif()
endforeach()
if(NOT QMC_QT_KIT)
    return()
endif()
if(NOT EXISTS "${QMC_QT_KIT}")
    message(FATAL_ERROR "The Qt kit ${QMC_QT_KIT} is not there: make one with "
                        "scripts/windows-kit/make-kit.sh FILE (about 45 minutes on 2 cores) and "
                        "name it with QMC_WINDOWS_KIT=FILE")
endif()

set(qmc_kit_root "${CMAKE_BINARY_DIR}/qt-kit")
file(MD5 "${QMC_QT_KIT}" qmc_kit_md5)
set(qmc_kit_stamp "${qmc_kit_root}/.unpacked-${qmc_kit_md5}")
if(NOT EXISTS "${qmc_kit_stamp}")
    message(STATUS "Unpacking the Qt kit ${QMC_QT_KIT}")
    file(REMOVE_RECURSE "${qmc_kit_root}")
    file(ARCHIVE_EXTRACT INPUT "${QMC_QT_KIT}" DESTINATION "${qmc_kit_root}")
    file(TOUCH "${qmc_kit_stamp}")
endif()
file(GLOB qmc_kit_dirs LIST_DIRECTORIES true "${qmc_kit_root}/*/lib/cmake/Qt6")
list(LENGTH qmc_kit_dirs qmc_kit_count)
if(NOT qmc_kit_count EQUAL 1)
    message(FATAL_ERROR "The Qt kit ${QMC_QT_KIT} holds no single Qt (lib/cmake/Qt6)")
endif()
get_filename_component(QMC_QT_PREFIX "${qmc_kit_dirs}/../../.." ABSOLUTE)
list(APPEND CMAKE_PREFIX_PATH "${QMC_QT_PREFIX}")
list(APPEND CMAKE_FIND_ROOT_PATH "${QMC_QT_PREFIX}")
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
message(STATUS "Qt kit: ${QMC_QT_PREFIX}")
