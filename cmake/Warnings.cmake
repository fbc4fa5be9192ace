# Every target of the project builds with the same warnings, clean on g++ and mingw-w64.
# TARVELO_WARNINGS_AS_ERRORS makes any of them fail the build (CI turns it on).
option(TARVELO_WARNINGS_AS_ERRORS "Fail the build on any compiler warning" OFF)

function(tarvelo_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(TARVELO_WARNINGS_AS_ERRORS)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# The plug-in's targets: a toolkit status dropped without a visible discard fails the build,
# whatever TARVELO_WARNINGS_AS_ERRORS says (the status-check test compiles with the same flag).
set(TARVELO_STATUS_CHECK_FLAGS -Werror=unused-result)
function(tarvelo_checked_statuses target)
    target_compile_options(${target} PRIVATE ${TARVELO_STATUS_CHECK_FLAGS})
endfunction()
