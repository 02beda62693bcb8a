# Writes help2man's include file for zrmhost's manual page: a COMMANDS section with each command's
# description and options, taken from `zrmhost COMMAND --help` so that the page says what the
# runner says (the top-level --help that help2man reads lists the commands without their options).
# cmake -DZRMHOST="[EMULATOR;]PROGRAM" -DOUTPUT=FILE -P manpage_commands.cmake

# Roff text: a backslash printed as such, hyphens as minus signs (options are typed with them).
function(roff_text text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(page "[COMMANDS]\n")
foreach(command run replay dump check)
  execute_process(COMMAND ${ZRMHOST} ${command} --help OUTPUT_VARIABLE help COMMAND_ERROR_IS_FATAL ANY)
  # The help text's lines up to the footer: the description, "Usage: ...", then "Positionals:" and
  # "Options:", each with its entries one a line, the entry and its text two blanks or more apart.
  string(REGEX REPLACE "\n\nusage:.*" "" help "${help}")
  string(REPLACE ";" "\\;" help "${help}")
  string(REPLACE "\n" ";" lines "${help}")
  set(description "")
  set(in_options FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "^Usage: (.*)$")
      roff_text("${CMAKE_MATCH_1}" usage)
      roff_text("${description}" description)
      string(APPEND page ".SS \"${usage}\"\n${description}")
    elseif(line MATCHES "^(Positionals|Options):$")
      set(in_options TRUE)
    elseif(in_options AND line MATCHES "^  +([^ ].*[^ ])  +([^ ].*)$")
      roff_text("${CMAKE_MATCH_1}" option)
      roff_text("${CMAKE_MATCH_2}" text)
      string(APPEND page ".TP\n\\fB${option}\\fR\n${text}\n")
    elseif(NOT in_options AND NOT line STREQUAL "")
      string(APPEND description "${line}\n")
    endif()
  endforeach()
endforeach()
file(WRITE "${OUTPUT}" "${page}")
