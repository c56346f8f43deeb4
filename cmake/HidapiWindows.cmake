# hidapi's Windows backend, compiled from the source of Debian's hidapi package, which
# scripts/hidapi-source.sh fetches into the build directory (or from QMC_HIDAPI_SOURCE).
set(QMC_HIDAPI_SOURCE "" CACHE PATH "hidapi source tree for the Windows build (fetched when empty)")
if(NOT QMC_HIDAPI_SOURCE)
    execute_process(
        COMMAND bash "${PROJECT_SOURCE_DIR}/scripts/hidapi-source.sh" "${CMAKE_BINARY_DIR}/hidapi"
        OUTPUT_VARIABLE qmc_hidapi_dir
        OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE qmc_hidapi_result)
    if(NOT qmc_hidapi_result EQUAL 0)
        message(FATAL_ERROR "Fetching hidapi's source failed (scripts/hidapi-source.sh); set "
                            "QMC_HIDAPI_SOURCE to an unpacked hidapi source tree instead")
    endif()
    set(QMC_HIDAPI_SOURCE "${qmc_hidapi_dir}" CACHE PATH "" FORCE)
endif()
if(NOT EXISTS "${QMC_HIDAPI_SOURCE}/windows/hid.c")
    message(FATAL_ERROR "${QMC_HIDAPI_SOURCE} holds no windows/hid.c")
endif()

enable_language(C)
add_library(qmc_hidapi STATIC "${QMC_HIDAPI_SOURCE}/windows/hid.c")
# The program includes <hidapi/hidapi.h>; hid.c includes "hidapi.h".
target_include_directories(qmc_hidapi
    PUBLIC "${QMC_HIDAPI_SOURCE}"
    PRIVATE "${QMC_HIDAPI_SOURCE}/hidapi")
# Third-party code: built as its authors do, without this project's warning set.
target_compile_options(qmc_hidapi PRIVATE -w)
target_link_libraries(qmc_hidapi PUBLIC setupapi hid)
