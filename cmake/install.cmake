# Installing (cmake --install build --prefix P) and the Debian package (cpack -G DEB in the build
# folder): the tools, one manual page each made from the tool's --help, the workflow and the example.
include(GNUInstallDirs)

# Every installed tool: a new one joins with one line here and its page template docs/man/TOOL.1.in.
# A tool is a target of the build, or a script whose built copy a part names in CORVANE_SCRIPT_<tool>
# (and the target that makes it in CORVANE_SCRIPT_TARGET_<tool>, its modules, if any, in
# CORVANE_SCRIPT_MODULES_<tool>, installed into CORVANE_SCRIPT_MODULES_DIR_<tool>).
set(corvane_installed_tools
  corvane
  corvane-reference
  corvane-prepare
  corvane-loci
  corvane-plot
)

set(corvane_man_pages)
set(corvane_script_targets)
foreach(tool ${corvane_installed_tools})
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(tool_command $<TARGET_FILE:${tool}>)
    set(tool_dependency ${tool})
  elseif(DEFINED CORVANE_SCRIPT_${tool})
    install(PROGRAMS ${CORVANE_SCRIPT_${tool}} DESTINATION ${CMAKE_INSTALL_BINDIR})
    # A script's modules (CORVANE_SCRIPT_MODULES_<tool>) go where the script looks for them.
    if(DEFINED CORVANE_SCRIPT_MODULES_${tool})
      install(FILES ${CORVANE_SCRIPT_MODULES_${tool}} DESTINATION ${CORVANE_SCRIPT_MODULES_DIR_${tool}})
    endif()
    set(tool_command ${CORVANE_SCRIPT_${tool}})
    set(tool_dependency ${CORVANE_SCRIPT_${tool}})
    list(APPEND corvane_script_targets ${CORVANE_SCRIPT_TARGET_${tool}})
  else()
    continue()  # a part left out of this build
  endif()
  set(page ${PROJECT_BINARY_DIR}/man/${tool}.1)
  set(template ${PROJECT_SOURCE_DIR}/docs/man/${tool}.1.in)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DTOOL=${tool_command} -DTEMPLATE=${template} -DOUTPUT=${page}
            -P ${PROJECT_SOURCE_DIR}/cmake/write_man_page.cmake
    DEPENDS ${tool_dependency} ${template} ${PROJECT_SOURCE_DIR}/cmake/write_man_page.cmake
    COMMENT "Writing the manual page of ${tool}")
  list(APPEND corvane_man_pages ${page})
endforeach()
add_custom_target(corvane_man_pages ALL DEPENDS ${corvane_man_pages})
if(corvane_script_targets)
  add_dependencies(corvane_man_pages ${corvane_script_targets})
endif()
install(FILES ${corvane_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES examples/chr21.hap.gz examples/chr21.legend.gz examples/chr21.phased.vcf.gz examples/chr21.b37.gmap.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane/examples)
install(FILES workflow/Snakefile workflow/job_resources.smk DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane/workflow)
# The installed workflow's example configuration finds the tools on PATH and the example under the
# install prefix, so it runs from any folder.
install(CODE "set(corvane_config_source \"${PROJECT_SOURCE_DIR}/workflow/config.yaml\")
              set(corvane_data_dir \"${CMAKE_INSTALL_DATADIR}/corvane\")
              include(\"${PROJECT_SOURCE_DIR}/cmake/install_workflow_config.cmake\")")

# The Debian package. Run-time dependencies: what dpkg-shlibdeps finds for the tools on Debian 12
# (libc6 ... zlib1g), the Python and matplotlib corvane-plot imports, and man-db for the manual pages.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "corvane developers <corvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find long, high-frequency shared haplotypes in phased panels")
set(CPACK_PACKAGE_DESCRIPTION
    "corvane reads a phased haplotype panel and its legend and reports every interval over which more
than a given fraction of the haplotypes carry the interval's most common haplotype, the long shared
haplotypes that selective sweeps leave behind. corvane-prepare converts one chromosome of a phased
VCF/BCF, corvane-loci merges the intervals into ranked candidate loci with their carriers,
corvane-plot draws a result, and a Snakemake workflow runs many chromosomes at once.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libgcc-s1 (>= 3.4), libhts3 (>= 1.10), libstdc++6 (>= 11), zlib1g (>= 1:1.2.6), python3, python3-matplotlib")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "man-db")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "snakemake, bcftools")
include(CPack)

# CI installs the package on its machine and runs it from PATH (skipped without root and apt-get).
# Once, from the normal build: a sanitized build is no package to ship.
if(NOT CORVANE_SANITIZE)
  add_test(NAME package.DebianInstall COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check-package.sh ${PROJECT_BINARY_DIR})
  set_tests_properties(package.DebianInstall PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)
endif()
