# Runs hostsim on a scene of the tests' own in a fresh folder and checks what it left on disk.
#   cmake -DHOSTSIM=... -DMODULE=... -DSCENE=... -DROOT=<fresh folder> -DCASE=link|escape|device
#         [-DRECORDER=<program>] [-DEMULATOR=<runner>] -P HostsimExportCheck.cmake
# link:   a link to nothing at BRACKET.tvl in the working directory stays as it is, and the
#         export writes BRACKET_1.tvl.
# escape: the model "../../X" is refused and no exchange file appears anywhere under the folder.
# device: a model named like a device ("NUL") is refused: "ExportTvlFailed", nothing in the
#         working directory, and the application, installed as RECORDER, is not started.
foreach(required HOSTSIM MODULE SCENE ROOT CASE)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "${required} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE "${ROOT}")
set(work "${ROOT}/a/b/work")
file(MAKE_DIRECTORY "${work}")
set(options)
if(CASE STREQUAL "link")
    file(CREATE_LINK "${ROOT}/elsewhere.tvl" "${work}/BRACKET.tvl" SYMBOLIC)
elseif(CASE STREQUAL "device")
    if(NOT DEFINED RECORDER)
        message(FATAL_ERROR "RECORDER is not set")
    endif()
    # The recorder as the installed application: it leaves <itself>.command when started.
    get_filename_component(extension "${RECORDER}" EXT)
    set(application "${ROOT}/tarvelo/Tarvelo${extension}")
    file(MAKE_DIRECTORY "${ROOT}/tarvelo")
    file(COPY_FILE "${RECORDER}" "${application}")
    list(APPEND options --tarvelo-dir "${ROOT}/tarvelo")
endif()

execute_process(
    COMMAND ${EMULATOR} "${HOSTSIM}" --module "${MODULE}" --scene "${SCENE}" --workdir "${work}"
            ${options}
    WORKING_DIRECTORY "${ROOT}"
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    RESULT_VARIABLE rc)
message(STATUS "hostsim (exit ${rc}):\n${out}${err}")
if(CASE STREQUAL "device" AND EMULATOR)
    # Under Wine --tarvelo-dir writes the prefix's own registry, which outlives the run.
    execute_process(COMMAND ${EMULATOR} reg delete "HKLM\\SOFTWARE\\Korvane" /f
                    OUTPUT_QUIET ERROR_QUIET)
endif()

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
elseif(CASE STREQUAL "device")
    require("hostsim did not report a failed export: ${rc}" rc EQUAL 1)
    require("the export was not reported as failed" out MATCHES "area ExportTvlFailed: ")
    require("the application was tried" NOT out MATCHES "TarveloOpen")
    require("the export was reported as written" NOT out MATCHES "ExportTvl(Success|File)")
    file(GLOB left LIST_DIRECTORIES true "${work}/*")
    require("the working directory is not empty: ${left}" NOT left)
    # A start would not be waited for: give a started program time to leave its record.
    execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1)
    require("the application was started" NOT EXISTS "${application}.command")
else()
    message(FATAL_ERROR "unknown case ${CASE}")
endif()
