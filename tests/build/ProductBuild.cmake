# The product build on a machine without GoogleTest, Google Benchmark or meshoptimizer (and,
# to keep it quick, without OpenCASCADE): BUILD_TESTING=OFF configures, the benchmarks are
# skipped with a message, and the module, hostsim and tvlsummary build and run.
#
#   cmake -DSOURCE=<repository> -DBINARY=<empty folder of this run> -DGENERATOR=<generator>
#         -DCOMPILER=<C++ compiler> -DC_COMPILER=<C compiler> -P ProductBuild.cmake
foreach(variable SOURCE BINARY GENERATOR COMPILER C_COMPILER)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "ProductBuild.cmake needs -D${variable}=...")
    endif()
endforeach()

function(run what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                    ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${what} failed (${status}):\n${out}\n${err}")
    endif()
    set(out "${out}" PARENT_SCOPE)
    set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect text part what)
    string(FIND "${text}" "${part}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${what}: \"${part}\" not found in:\n${text}")
    endif()
endfunction()

# This run's own folder, made afresh.
file(REMOVE_RECURSE "${BINARY}")
file(MAKE_DIRECTORY "${BINARY}")

# A package that is looked for while disabled fails the configuration if it is required, so
# nothing of the product may need these.
run("configuring with BUILD_TESTING=OFF"
    ${CMAKE_COMMAND} -S "${SOURCE}" -B "${BINARY}/build" -G "${GENERATOR}"
    -DCMAKE_CXX_COMPILER=${COMPILER} -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_BUILD_TYPE=
    -DBUILD_TESTING=OFF
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
    -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
    -DCMAKE_DISABLE_FIND_PACKAGE_meshoptimizer=ON
    -DCMAKE_DISABLE_FIND_PACKAGE_OpenCASCADE=ON)
expect("${out}" "Benchmarks skipped: Google Benchmark not found" "the configuration")
run("building the module, hostsim and tvlsummary"
    ${CMAKE_COMMAND} --build "${BINARY}/build" --target TarveloGateway hostsim tvlsummary -j 4)

# The built programs work: an export, and its summary.
run("hostsim" "${BINARY}/build/host/hostsim" --workdir "${BINARY}/work")
expect("${out}" "exchange file: ${BINARY}/work/GEARBOX.tvl" "hostsim's output")
run("tvlsummary" "${BINARY}/build/tools/tvlsummary" "${BINARY}/work/GEARBOX.tvl")
expect("${out}" "${BINARY}/work/GEARBOX.tvl:\nGEARBOX (version 1.5" "tvlsummary's output")
message(STATUS "The product builds and runs without GoogleTest, Google Benchmark and meshoptimizer")
