# Every target of the project builds with the same warnings, clean on g++ and mingw-w64.
function(tarvelo_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()
