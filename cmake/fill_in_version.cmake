# Copies a script with @CORVANE_VERSION@ replaced by the build's version (and @CORVANE_PLOT_MODULES@ by
# MODULES_DIR where given), keeping it executable.
# Inputs: INPUT, OUTPUT, VERSION_FILE (written by write_version.cmake), MODULES_DIR (optional).
file(READ "${VERSION_FILE}" version)
file(READ "${INPUT}" text)
string(REPLACE "@CORVANE_VERSION@" "${version}" text "${text}")
if(DEFINED MODULES_DIR)
  string(REPLACE "@CORVANE_PLOT_MODULES@" "${MODULES_DIR}" text "${text}")
endif()
get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY "${OUTPUT}.new" DESTINATION "${output_dir}/.fill"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
get_filename_component(name "${OUTPUT}" NAME)
file(RENAME "${output_dir}/.fill/${name}.new" "${OUTPUT}")
file(REMOVE_RECURSE "${output_dir}/.fill" "${OUTPUT}.new")
