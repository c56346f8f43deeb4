# The viewer's plotting library (QCustomPlot) and the XLSX writer (libxlsxwriter) for the Windows
# build: built from Debian's source packages by scripts/windows-libs.sh into the build directory
# at configure time (a few minutes the first time, then reused), or taken from
# QMC_WINDOWS_LIBS_PREFIX when that names a prefix built before. Their DLLs join the program's
# and their licence texts the zip's.
set(QMC_WINDOWS_LIBS_PREFIX "" CACHE PATH
    "Prefix of QCustomPlot and libxlsxwriter built for Windows (built when empty)")
set(QMC_WINDOWS_LIBS_DLLS "")
set(QMC_WINDOWS_LIBS_LICENCES "")
set(QMC_WINDOWS_LIBS_TEST_DLLS "")
# The XLSX option is declared by store/, after this file; unset means its default, on.
if(NOT DEFINED QMC_WITH_XLSX)
    set(QMC_WITH_XLSX ON)
endif()
if(NOT QMC_WITH_VIEWER AND NOT QMC_WITH_XLSX)
    return()
endif()

set(qmc_libs_prefix "${QMC_WINDOWS_LIBS_PREFIX}")
if(NOT qmc_libs_prefix)
    message(STATUS "QCustomPlot and libxlsxwriter for Windows (scripts/windows-libs.sh)")
    set(qmc_libs_env "")
    if(CMAKE_CXX_COMPILER_LAUNCHER)
        # The same compiler cache for their sources as for the program's.
        list(APPEND qmc_libs_env "QMC_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}")
    endif()
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env ${qmc_libs_env}
                bash "${PROJECT_SOURCE_DIR}/scripts/windows-libs.sh"
                "${CMAKE_BINARY_DIR}/windows-libs" "${QMC_QT_PREFIX}"
        OUTPUT_VARIABLE qmc_libs_prefix
        OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE qmc_libs_result)
    if(NOT qmc_libs_result EQUAL 0)
        message(FATAL_ERROR "Building QCustomPlot and libxlsxwriter for Windows failed "
                            "(scripts/windows-libs.sh); switch QMC_WITH_VIEWER and QMC_WITH_XLSX "
                            "off to build without them")
    endif()
endif()
list(APPEND CMAKE_PREFIX_PATH "${qmc_libs_prefix}")
list(APPEND CMAKE_FIND_ROOT_PATH "${qmc_libs_prefix}")
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)

set(qmc_texts "${qmc_libs_prefix}/licenses")
if(QMC_WITH_VIEWER)
    list(APPEND QMC_WINDOWS_LIBS_DLLS "${qmc_libs_prefix}/bin/libQCustomPlotQt6.dll")
    list(APPEND QMC_WINDOWS_LIBS_LICENCES "${qmc_texts}/QCustomPlot-GPL-3.0.txt"
         "${qmc_texts}/QCustomPlot-copyright.txt")
endif()
if(QMC_WITH_XLSX)
    # zlib is linked into libxlsxwriter.dll.
    list(APPEND QMC_WINDOWS_LIBS_DLLS "${qmc_libs_prefix}/bin/libxlsxwriter.dll")
    list(APPEND QMC_WINDOWS_LIBS_LICENCES "${qmc_texts}/libxlsxwriter-License.txt"
         "${qmc_texts}/libxlsxwriter-copyright.txt" "${qmc_texts}/zlib-copyright.txt")
    # The export's tests read the workbook back with it.
    list(APPEND QMC_WINDOWS_LIBS_TEST_DLLS "${qmc_libs_prefix}/bin/libminizip.dll")
endif()
foreach(file IN LISTS QMC_WINDOWS_LIBS_DLLS QMC_WINDOWS_LIBS_TEST_DLLS QMC_WINDOWS_LIBS_LICENCES)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "${file} is not there (QMC_WINDOWS_LIBS_PREFIX)")
    endif()
endforeach()
