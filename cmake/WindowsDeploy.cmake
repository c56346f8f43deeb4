# The Windows build's folder of executables and the zip made from it. The program loads exactly
# these files beside qm-controller.exe (checked by scripts/wine-checks.sh from the unzipped folder
# in a new wine prefix, with wine's log of loaded DLLs):
#   the GCC runtime    libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll
#   Qt                 Qt6Core, Qt6Gui, Qt6Widgets, Qt6Charts, and for the viewer Qt6PrintSupport
#                      (.dll)
#   the viewer's plots libQCustomPlotQt6.dll; the XLSX export libxlsxwriter.dll (zlib inside)
#   Qt plugins         platforms/qwindows.dll, styles/qwindowsvistastyle.dll, and
#                      platforms/qoffscreen.dll for runs without a display (-platform offscreen)
# The build folder also holds Qt6Test.dll for the Qt tests and libminizip.dll for the export's;
# the zip leaves them out.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bin")
set(qmc_bin "${CMAKE_BINARY_DIR}/bin")

set(QMC_RUNTIME_DLLS "")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "The compiler's ${dll} is not there")
    endif()
    get_filename_component(path "${path}" REALPATH)
    list(APPEND QMC_RUNTIME_DLLS "${path}")
endforeach()
set(qmc_qt_modules Core Gui Widgets Charts)
if(QMC_WITH_VIEWER)
    list(APPEND qmc_qt_modules PrintSupport)
endif()
foreach(module IN LISTS qmc_qt_modules)
    list(APPEND QMC_RUNTIME_DLLS "${QMC_QT_PREFIX}/bin/Qt6${module}.dll")
endforeach()
# QCustomPlot and libxlsxwriter, built for Windows.
include(${CMAKE_CURRENT_LIST_DIR}/WindowsLibs.cmake)
list(APPEND QMC_RUNTIME_DLLS ${QMC_WINDOWS_LIBS_DLLS})
# Beside the tests only: the Qt tests link Qt Test, the export's tests minizip.
set(QMC_BUILD_ONLY_DLLS "")
if(EXISTS "${QMC_QT_PREFIX}/bin/Qt6Test.dll")
    list(APPEND QMC_BUILD_ONLY_DLLS "${QMC_QT_PREFIX}/bin/Qt6Test.dll")
endif()
list(APPEND QMC_BUILD_ONLY_DLLS ${QMC_WINDOWS_LIBS_TEST_DLLS})
set(QMC_PLUGINS platforms/qwindows.dll styles/qwindowsvistastyle.dll platforms/qoffscreen.dll)

# Copied beside the executables, the GCC runtime stripped as Qt's DLLs are (libstdc++ shrinks
# from 23 MB to 2 MB); the zip takes these copies.
set(qmc_bin_dlls "")
foreach(file IN LISTS QMC_RUNTIME_DLLS QMC_BUILD_ONLY_DLLS)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "${file} is not there")
    endif()
    get_filename_component(name "${file}" NAME)
    if(NOT EXISTS "${qmc_bin}/${name}" OR "${file}" IS_NEWER_THAN "${qmc_bin}/${name}")
        file(COPY "${file}" DESTINATION "${qmc_bin}")
        if(NOT name MATCHES "^Qt6")
            execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded "${qmc_bin}/${name}"
                            RESULT_VARIABLE stripped)
            if(NOT stripped EQUAL 0)
                message(FATAL_ERROR "Stripping ${name} failed")
            endif()
        endif()
    endif()
    if(NOT file IN_LIST QMC_BUILD_ONLY_DLLS)
        list(APPEND qmc_bin_dlls "${qmc_bin}/${name}")
    endif()
endforeach()
foreach(plugin IN LISTS QMC_PLUGINS)
    get_filename_component(dir "${plugin}" DIRECTORY)
    if(NOT EXISTS "${QMC_QT_PREFIX}/plugins/${plugin}")
        message(FATAL_ERROR "The Qt kit has no plugin ${plugin}")
    endif()
    file(COPY "${QMC_QT_PREFIX}/plugins/${plugin}" DESTINATION "${qmc_bin}/${dir}")
endforeach()

set(QMC_BIN_DLLS ${qmc_bin_dlls})

# The offscreen plugin draws text only with fonts from Qt's library folder (wine passes it no
# QT_QPA_FONTDIR): the build folder gets a qt.conf that makes that bin/, and DejaVu fonts in
# bin/fonts. The zip carries both, for its offscreen plugin; its windows plugin uses the system's
# fonts.
file(WRITE "${qmc_bin}/qt.conf" "[Paths]\nPrefix=.\nLibraries=.\n")
file(GLOB qmc_fonts /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
                    /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf)
if(qmc_fonts)
    file(COPY ${qmc_fonts} DESTINATION "${qmc_bin}/fonts")
else()
    message(STATUS "DejaVu fonts (fonts-dejavu-core) not found: offscreen pictures under wine show no text")
endif()

# What the zip holds, under qm-controller-<version>-win64/.
function(qmc_windows_package program)
    set(qmc_bin_dlls ${QMC_BIN_DLLS})
    install(TARGETS ${program} RUNTIME DESTINATION .)
    install(FILES ${qmc_bin_dlls} DESTINATION .)
    foreach(plugin IN LISTS QMC_PLUGINS)
        get_filename_component(dir "${plugin}" DIRECTORY)
        install(FILES "${QMC_QT_PREFIX}/plugins/${plugin}" DESTINATION ${dir})
    endforeach()
    install(FILES "${PROJECT_SOURCE_DIR}/packaging/windows/READ ME.txt" DESTINATION .)
    # Text in pictures drawn without a display (-platform offscreen).
    install(FILES "${CMAKE_BINARY_DIR}/bin/qt.conf" DESTINATION .)
    if(EXISTS "${CMAKE_BINARY_DIR}/bin/fonts")
        install(DIRECTORY "${CMAKE_BINARY_DIR}/bin/fonts" DESTINATION .)
        install(FILES /usr/share/doc/fonts-dejavu-core/copyright DESTINATION licenses
                RENAME DejaVu-fonts-copyright.txt)
    endif()
    install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION licenses RENAME QM-Controller-GPL-3.0.txt)
    # Licence texts of what the zip carries besides the program.
    set(texts
        "/usr/share/doc/libqt6core6/copyright|Qt-base-copyright.txt"
        "/usr/share/doc/libqt6charts6/copyright|Qt-Charts-copyright.txt"
        "/usr/share/common-licenses/LGPL-3|LGPL-3.0.txt"
        "/usr/share/doc/gcc-mingw-w64-base/copyright|GCC-runtime-copyright.txt"
        "/usr/share/doc/mingw-w64-common/copyright|mingw-w64-winpthreads-copyright.txt"
        "${QMC_HIDAPI_SOURCE}/LICENSE.txt|hidapi-LICENSE.txt"
        "${QMC_HIDAPI_SOURCE}/LICENSE-bsd.txt|hidapi-LICENSE-bsd.txt")
    foreach(file IN LISTS QMC_WINDOWS_LIBS_LICENCES)
        get_filename_component(name "${file}" NAME)
        list(APPEND texts "${file}|${name}")
    endforeach()
    foreach(entry IN LISTS texts)
        string(REPLACE "|" ";" pair "${entry}")
        list(GET pair 0 from)
        list(GET pair 1 to)
        if(NOT EXISTS "${from}")
            message(FATAL_ERROR "The licence text ${from} is not there")
        endif()
        install(FILES "${from}" DESTINATION licenses RENAME "${to}")
    endforeach()

    set(CPACK_GENERATOR ZIP PARENT_SCOPE)
    set(CPACK_PACKAGE_NAME qm-controller PARENT_SCOPE)
    set(CPACK_PACKAGE_FILE_NAME "qm-controller-${PROJECT_VERSION}-win64" PARENT_SCOPE)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON PARENT_SCOPE)
    set(CPACK_STRIP_FILES ON PARENT_SCOPE)
endfunction()
