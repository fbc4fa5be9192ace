# GoogleTest: Debian's prebuilt libraries natively; for the Windows cross build, built from
# Debian's googletest sources with the cross compiler.
if(CMAKE_CROSSCOMPILING)
    set(TARVELO_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    add_subdirectory(${TARVELO_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    foreach(lib gtest gtest_main gmock gmock_main)
        if(NOT TARGET GTest::${lib})
            add_library(GTest::${lib} ALIAS ${lib})
        endif()
    endforeach()
else()
    find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# One test program. Natively every test case becomes its own CTest test; under Wine the
# program runs as one test (listing the cases would cost a Wine start per program at build).
# OPENCASCADE: its tests run OpenCASCADE. That library is built without frame pointers, so in the
# sanitize build their leak stacks are whole (and cmake/lsan-suppressions.txt, which names
# OpenCASCADE functions, can match them) only with the slow unwinder; the other tests keep the
# fast one.
function(tarvelo_add_gtest target)
    cmake_parse_arguments(ARG "OPENCASCADE" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    tarvelo_warnings(${target})
    set(properties)
    if(ARG_OPENCASCADE AND TARVELO_SANITIZE)
        set(properties PROPERTIES ${TARVELO_OPENCASCADE_LEAK_CHECK})
    endif()
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${target} COMMAND ${target})
    else()
        gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST NO_PRETTY_VALUES ${properties})
    endif()
endfunction()

# The test property that gives a test running OpenCASCADE whole leak stacks (see above).
set(TARVELO_OPENCASCADE_LEAK_CHECK
    ENVIRONMENT_MODIFICATION "LSAN_OPTIONS=string_append::fast_unwind_on_malloc=0")
