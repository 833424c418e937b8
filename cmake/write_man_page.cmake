# Writes a tool's manual page from its template in docs/man, with the tool's own --help text and
# version in it, so the page and the help cannot drift apart.
# Inputs: TOOL (the command to run, a list), TEMPLATE, OUTPUT.
execute_process(COMMAND ${CMAKE_COMMAND} -E env COLUMNS=90 ${TOOL} --help
                OUTPUT_VARIABLE help RESULT_VARIABLE help_failed)
execute_process(COMMAND ${TOOL} --version OUTPUT_VARIABLE version_line RESULT_VARIABLE version_failed
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT help_failed EQUAL 0 OR NOT version_failed EQUAL 0)
  message(FATAL_ERROR "cannot run ${TOOL} --help and --version for its manual page")
endif()
# "TOOL VERSION": the version is everything after the first blank.
string(FIND "${version_line}" " " blank)
math(EXPR blank "${blank} + 1")
string(SUBSTRING "${version_line}" ${blank} -1 VERSION)

# Text made safe for roff: backslashes, hyphens (as minus signs), and lines that would read as requests.
string(STRIP "${help}" help)
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
set(HELP "${help}")
string(REPLACE "-" "\\-" VERSION "${VERSION}")
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
