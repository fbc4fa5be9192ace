# A toolkit status that is dropped does not compile with the plug-in's flags.
#   cmake -DBUILD_DIR=<build> -DCONTROL=<target> -DDROPPING=<target;...> -P StatusCheck.cmake
# The control examines every status and must build, so that a refused build is known to come
# from the dropped status; each target of DROPPING drops one kind of toolkit function's result
# and must be refused for that reason.
foreach(variable BUILD_DIR CONTROL DROPPING)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "StatusCheck.cmake: ${variable} is not set")
    endif()
endforeach()

function(build target result output)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    set(${result} ${rc} PARENT_SCOPE)
    set(${output} "${out}" PARENT_SCOPE)
endfunction()

build(${CONTROL} rc out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the control, which examines every status, does not build:\n${out}")
endif()
message(STATUS "${CONTROL}: builds")

foreach(target IN LISTS DROPPING)
    build(${target} rc out)
    if(rc EQUAL 0)
        message(FATAL_ERROR "${target} drops a toolkit status and still builds")
    endif()
    if(NOT out MATCHES "unused-result" OR NOT out MATCHES "nodiscard")
        message(FATAL_ERROR "${target} is refused, but not for the dropped status:\n${out}")
    endif()
    message(STATUS "${target}: refused for the dropped status")
endforeach()
