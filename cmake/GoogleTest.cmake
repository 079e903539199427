# GoogleTest from Debian's source package, built for whichever target this tree is configured for.
set(QB_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${QB_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL SYSTEM)
if(NOT WIN32 AND QB_SANITIZE)
    foreach(target gtest gtest_main gmock gmock_main)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer)
    endforeach()
endif()

# A CTest test of a GoogleTest program that passes only when the program reached its normal end having run
# its tests (scripts/run_checked.py): a crash, a kill or an exit(0) halfway fails it. COMMAND runs the
# program (for Windows programs: through scripts/wine-run.sh, or a wrapper in front of it). The test is named
# ${QB_TEST_PREFIX}NAME ("x86." in the 32-bit tree).
function(qb_gtest_test name)
    add_test(NAME ${QB_TEST_PREFIX}${name}
        COMMAND python3 ${PROJECT_SOURCE_DIR}/scripts/run_checked.py gtest ${QB_TEST_PREFIX}${name} -- ${ARGN})
endfunction()

# How a test program of this tree is started: natively, or under Wine.
if(WIN32)
    set(QB_RUN_PROGRAM ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)
else()
    set(QB_RUN_PROGRAM)
endif()
