# Header-only libraries from the system (Debian's packages). The cross build must not see the
# rest of /usr/include, so each library gets a folder of its own that holds only a link to its
# headers; both builds use that folder.
#
#   tarvelo_system_headers(<target> <folder under /usr/include> <a header in it>)
function(tarvelo_system_headers target folder header)
    find_path(TARVELO_${target}_INCLUDE ${folder}/${header} PATHS /usr/include
              NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(dir ${CMAKE_BINARY_DIR}/system-headers/${target})
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${TARVELO_${target}_INCLUDE}/${folder} ${dir}/${folder} SYMBOLIC)
    add_library(${target} INTERFACE)
    target_include_directories(${target} SYSTEM INTERFACE ${dir})
endfunction()
