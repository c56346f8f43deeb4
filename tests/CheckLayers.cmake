# Fails when a source file includes a header of a layer above its own. Layers from the top; a
# file may include headers of its own layer and of any layer below it. The tests, benchmarks
# and fuzz targets sit above everything and are not checked.
#   cmake -DROOT=<source tree> -P CheckLayers.cmake
set(layers app ui/viewer ui/qt core ui/model collect session measure store link sim text protocol)

if(NOT ROOT)
    message(FATAL_ERROR "ROOT (the source tree) is not set")
endif()

function(layer_of path out)
    # The longest folder name that starts the path (link/backends belongs to link).
    set(found "")
    foreach(layer IN LISTS layers)
        string(LENGTH "${layer}/" n)
        string(SUBSTRING "${path}" 0 ${n} head)
        if(head STREQUAL "${layer}/")
            string(LENGTH "${found}" fn)
            if(n GREATER fn)
                set(found "${layer}")
            endif()
        endif()
    endforeach()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(violations 0)
set(checked 0)
foreach(layer IN LISTS layers)
    list(FIND layers ${layer} own)
    file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/${layer}/*.h" "${ROOT}/${layer}/*.cpp")
    foreach(source IN LISTS sources)
        layer_of("${source}" home)
        if(NOT home STREQUAL layer)
            continue()  # a file of a deeper folder is checked with its own layer
        endif()
        math(EXPR checked "${checked} + 1")
        file(STRINGS "${ROOT}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
            layer_of("${header}" target)
            if(target STREQUAL "")
                continue()  # a header of the same folder by its bare name, or not ours
            endif()
            list(FIND layers ${target} theirs)
            if(theirs LESS own)
                message(SEND_ERROR "${source} (${layer}) includes ${header} of ${target}, a layer above it")
                math(EXPR violations "${violations} + 1")
            endif()
        endforeach()
    endforeach()
endforeach()

# Rules per file, on top of the layers:
#   window-free  an app/ file that runs without a window (any not named Window*) includes
#                nothing of core/, ui/qt or ui/model (ui/viewer draws the data commands' output)
#   window-start FormCreate, MutableModel and ModelTimers appear in app/ only in Window* files
#   no-requests  no core/ file builds or sends a request, or reads the request in flight: the
#                session's operations do that, core/ only presents
# A file that still breaks a rule is named below with the rule; one named that no longer breaks
# it fails the check too, so the list only shrinks.
set(still_breaking
    app/InProcessDelivery.cpp:window-free
    app/Links.cpp:window-free app/Links.h:window-start
    app/VisitRun.cpp:window-free app/VisitRun.cpp:window-start
)

function(check_rule source rule broken)
    list(FIND still_breaking "${source}:${rule}" listed)
    if(broken AND listed EQUAL -1)
        message(SEND_ERROR "${source} breaks the rule ${rule}")
        math(EXPR violations "${violations} + 1")
        set(violations ${violations} PARENT_SCOPE)
    elseif(NOT broken AND NOT listed EQUAL -1)
        message(SEND_ERROR "${source} keeps the rule ${rule} now: take it off the list")
        math(EXPR violations "${violations} + 1")
        set(violations ${violations} PARENT_SCOPE)
    endif()
endfunction()

file(GLOB app_sources RELATIVE "${ROOT}" "${ROOT}/app/*.h" "${ROOT}/app/*.cpp")
foreach(source IN LISTS app_sources)
    get_filename_component(name "${source}" NAME)
    if(name MATCHES "^Window")
        continue()
    endif()
    file(READ "${ROOT}/${source}" text)
    set(broken FALSE)
    if(text MATCHES "#[ \t]*include[ \t]*\"(core|ui/qt|ui/model)/")
        set(broken TRUE)
    endif()
    check_rule("${source}" window-free ${broken})
    set(broken FALSE)
    if(text MATCHES "FormCreate|MutableModel|ModelTimers")
        set(broken TRUE)
    endif()
    check_rule("${source}" window-start ${broken})
endforeach()
file(GLOB core_sources RELATIVE "${ROOT}" "${ROOT}/core/*.h" "${ROOT}/core/*.cpp")
foreach(source IN LISTS core_sources)
    file(READ "${ROOT}/${source}" text)
    set(broken FALSE)
    if(text MATCHES "requests::|[.>]Send(ToAdapter|Unwatched)?\\(|CurrentCommand")
        set(broken TRUE)
    endif()
    check_rule("${source}" no-requests ${broken})
endforeach()

if(checked EQUAL 0)
    message(FATAL_ERROR "no source file found under ${ROOT}")
endif()
if(violations GREATER 0)
    message(FATAL_ERROR "${violations} include(s) or file(s) break the layering")
endif()
message(STATUS "${checked} files: every include stays in its layer or below")
