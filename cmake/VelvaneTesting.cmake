# Tests that link no GUI carry the label "core", and the target velvane-core-tests builds them: the sanitizer
# build runs just these.
if(NOT TARGET velvane-core-tests)
    add_custom_target(velvane-core-tests)
endif()

# The tests of the code that VELVANE_PORTABLE swaps carry the label "platform", and the target
# velvane-platform-tests builds them: the portable build runs just these.
set(VELVANE_PLATFORM_TESTS tst_platform tst_tagapi tst_losslessjob)
if(NOT TARGET velvane-platform-tests)
    add_custom_target(velvane-platform-tests)
endif()

# velvane_add_test(NAME [SPLIT] SOURCES file... LIBS target...)
# One Qt Test executable per area, run offscreen with the distribution's splitter. SPLIT: the test runs
# velvane-split, which VELVANE_SPLIT_BINARY names.
function(velvane_add_test name)
    cmake_parse_arguments(T "SPLIT" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    if(T_SPLIT)
        target_compile_definitions(${name} PRIVATE VELVANE_SPLIT_BINARY="$<TARGET_FILE:velvane-split>")
        add_dependencies(${name} velvane-split)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        TIMEOUT 600
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VELVANE_MP3SPLT=${VELVANE_SYSTEM_MP3SPLT};VELVANE_RESOURCES=${VELVANE_BUILD_DATADIR}")
    if(NOT velvane-gui IN_LIST T_LIBS)
        set_tests_properties(${name} PROPERTIES LABELS core)
        add_dependencies(velvane-core-tests ${name})
    endif()
    if(name IN_LIST VELVANE_PLATFORM_TESTS)
        set_property(TEST ${name} APPEND PROPERTY LABELS platform)
        add_dependencies(velvane-platform-tests ${name})
    endif()
endfunction()
