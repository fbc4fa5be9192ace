# Runs hostsim on a scene of the tests' own in a fresh folder and checks what it left on disk.
#   cmake -DHOSTSIM=... -DMODULE=... -DSCENE=... -DROOT=<fresh folder> -DCASE=link|escape
#         [-DEMULATOR=<runner>] -P HostsimExportCheck.cmake
# link:   a link to nothing at BRACKET.tvl in the working directory stays as it is, and the
#         export writes BRACKET_1.tvl.
# escape: the model "../../X" is refused and no exchange file appears anywhere under the folder.
foreach(required HOSTSIM MODULE SCENE ROOT CASE)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "${required} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE "${ROOT}")
set(work "${ROOT}/a/b/work")
file(MAKE_DIRECTORY "${work}")
if(CASE STREQUAL "link")
    file(CREATE_LINK "${ROOT}/elsewhere.tvl" "${work}/BRACKET.tvl" SYMBOLIC)
endif()

execute_process(
    COMMAND ${EMULATOR} "${HOSTSIM}" --module "${MODULE}" --scene "${SCENE}" --workdir "${work}"
    WORKING_DIRECTORY "${ROOT}"
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    RESULT_VARIABLE rc)
message(STATUS "hostsim (exit ${rc}):\n${out}${err}")

# Fails the test with the text unless the condition given after it holds.
macro(require text)
    if(NOT (${ARGN}))
        message(FATAL_ERROR "${text}")
    endif()
endmacro()

require("hostsim did not end by itself: ${rc}" rc MATCHES "^[0-9]+$")
require("the plug-in left the host in a bad state" NOT err MATCHES "left the host in a bad state")

if(CASE STREQUAL "link")
    require("no successful export in the transcript" out MATCHES "area ExportTvlSuccess: ")
    require("the link BRACKET.tvl is gone" IS_SYMLINK "${work}/BRACKET.tvl")
    file(READ_SYMLINK "${work}/BRACKET.tvl" target)
    require("the link BRACKET.tvl now leads to ${target}" target STREQUAL "${ROOT}/elsewhere.tvl")
    require("a file was written through the link" NOT EXISTS "${ROOT}/elsewhere.tvl")
    require("BRACKET_1.tvl was not written"
            EXISTS "${work}/BRACKET_1.tvl" AND NOT IS_SYMLINK "${work}/BRACKET_1.tvl")
elseif(CASE STREQUAL "escape")
    require("the export was not reported as failed" out MATCHES "area ExportTvlFailed: ")
    file(GLOB_RECURSE written LIST_DIRECTORIES false "${ROOT}/*.tvl")
    require("exchange files were written: ${written}" NOT written)
else()
    message(FATAL_ERROR "unknown case ${CASE}")
endif()
