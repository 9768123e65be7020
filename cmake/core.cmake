# The core: compiler settings and one static library per module, in levels.
# Included by the top-level project and by the fuzzing project (fuzz/), which
# builds the same modules with clang and libFuzzer's instrumentation.
#
# A module links only modules of lower levels and sees only their headers, so
# an include that climbs up or sideways fails to compile. Levels, ground first:
#   base; options, seqio; motif, merge; scan; report, regulon; pipeline; cli, ui.
# Each module's headers are reached as "<module>/<header>" through an include
# root of its own that holds only a link to the module's folder.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

# Warnings are errors for development and CI; a packager building with
# another compiler may turn that off (-DXOPREX_WERROR=OFF).
option(XOPREX_WERROR "Treat compiler warnings as errors" ON)
set(XOPREX_WARNINGS -Wall -Wextra)
if(XOPREX_WERROR)
    list(APPEND XOPREX_WARNINGS -Werror)
endif()
# Reproducible floating point: no fused multiply-add contraction, no fast-math.
add_compile_options(${XOPREX_WARNINGS} -ffp-contract=off)

find_package(Threads REQUIRED)
set(XOPREX_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
set(XOPREX_INCLUDE_ROOTS ${CMAKE_BINARY_DIR}/include_roots)

# xoprex_module(NAME [SOURCES file...] [LINKS module...]): library xoprex_NAME.
function(xoprex_module name)
    cmake_parse_arguments(MODULE "" "" "SOURCES;LINKS" ${ARGN})
    add_library(xoprex_${name} STATIC ${MODULE_SOURCES})
    xoprex_include_root(xoprex_${name} ${name})
    foreach(below IN LISTS MODULE_LINKS)
        target_link_libraries(xoprex_${name} PUBLIC xoprex_${below})
    endforeach()
endfunction()

# Gives `target` the include root of the module `name` (the current folder).
function(xoprex_include_root target name)
    set(root ${XOPREX_INCLUDE_ROOTS}/${name})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${name} SYMBOLIC)
    target_include_directories(${target} PUBLIC ${root})
endfunction()

foreach(module base options seqio motif merge scan report regulon pipeline)
    add_subdirectory(${XOPREX_SOURCE_ROOT}/src/${module} ${CMAKE_BINARY_DIR}/src/${module})
endforeach()

# Everything the front ends, the tests, the benchmarks and the fuzz harnesses
# build on.
add_library(xoprex_core INTERFACE)
target_link_libraries(xoprex_core INTERFACE xoprex_pipeline xoprex_merge)
