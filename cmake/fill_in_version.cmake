# Copies a script with @CORVANE_VERSION@ replaced by the build's version, keeping it executable.
# Inputs: INPUT, OUTPUT, VERSION_FILE (written by write_version.cmake).
file(READ "${VERSION_FILE}" version)
file(READ "${INPUT}" text)
string(REPLACE "@CORVANE_VERSION@" "${version}" text "${text}")
get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY "${OUTPUT}.new" DESTINATION "${output_dir}/.fill"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
get_filename_component(name "${OUTPUT}" NAME)
file(RENAME "${output_dir}/.fill/${name}.new" "${OUTPUT}")
file(REMOVE_RECURSE "${output_dir}/.fill" "${OUTPUT}.new")
