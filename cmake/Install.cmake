# What `cmake --install` puts under the prefix, in the usual layout:
#   bin/                     hostsim, tvlsummary
#   lib/tarvelo/             the module TarveloGateway
#   share/tarvelo/           the text root (text/TarveloMessages.txt, text/resource/) and examples/
#   share/doc/Tarvelo/       README.md and the scene and session formats
# hostsim finds the module and the text root relative to its own folder, so a prefix can be
# moved as a whole. Rules go by target name, for whatever targets this build has.
include(GNUInstallDirs)

set(TARVELO_INSTALL_MODULEDIR ${CMAKE_INSTALL_LIBDIR}/tarvelo)
set(TARVELO_INSTALL_TEXTROOT ${CMAKE_INSTALL_DATADIR}/tarvelo)

# The paths from hostsim's folder to the module's and to the text root (for its tests too).
file(RELATIVE_PATH hostsim_to_module ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBDIR}/tarvelo)
file(RELATIVE_PATH hostsim_to_text_root ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/tarvelo)
target_compile_definitions(hostsim_program PUBLIC
    HOSTSIM_MODULE_DIR_FROM_PROGRAM="${hostsim_to_module}"
    HOSTSIM_TEXT_ROOT_FROM_PROGRAM="${hostsim_to_text_root}")

# In the build tree hostsim finds the repository's resources as "resources" beside its folder.
get_target_property(hostsim_build_dir hostsim BINARY_DIR)
cmake_path(GET hostsim_build_dir PARENT_PATH hostsim_build_parent)
if(NOT EXISTS ${hostsim_build_parent}/resources OR IS_SYMLINK ${hostsim_build_parent}/resources)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/resources ${hostsim_build_parent}/resources SYMBOLIC)
endif()

install(TARGETS hostsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(NOT WIN32)
    # Libraries from outside the system folders (OpenCASCADE elsewhere) are found where they were
    # linked.
    set_target_properties(hostsim PROPERTIES INSTALL_RPATH_USE_LINK_PATH TRUE)
endif()
if(TARGET tvlsummary)
    install(TARGETS tvlsummary RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS TarveloGateway LIBRARY DESTINATION ${TARVELO_INSTALL_MODULEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/ DESTINATION ${TARVELO_INSTALL_TEXTROOT})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
        DESTINATION ${TARVELO_INSTALL_TEXTROOT}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/host/SceneFormat.md
              ${PROJECT_SOURCE_DIR}/host/UserInterface.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
