# Run at install time: writes the workflow's example configuration with the tools taken from PATH
# and the example files under the install prefix.
# Inputs: corvane_config_source, corvane_data_dir (relative to the prefix).
file(READ "${corvane_config_source}" config)
set(examples "${CMAKE_INSTALL_PREFIX}/${corvane_data_dir}/examples")
string(REGEX REPLACE "build/(corvane[-a-z]*)" "\\1" config "${config}")
string(REGEX REPLACE "([\" ])examples/" "\\1${examples}/" config "${config}")
string(REGEX REPLACE "(map_dir: )examples" "\\1${examples}" config "${config}")
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${corvane_data_dir}/workflow/config.yaml")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${config}")
