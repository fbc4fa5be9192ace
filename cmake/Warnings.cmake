# Every target of the project builds with the same warnings, clean on g++ and mingw-w64.
# TARVELO_WARNINGS_AS_ERRORS makes any of them fail the build (CI turns it on).
option(TARVELO_WARNINGS_AS_ERRORS "Fail the build on any compiler warning" OFF)

function(tarvelo_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(TARVELO_WARNINGS_AS_ERRORS)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
