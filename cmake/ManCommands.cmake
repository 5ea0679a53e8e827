# Writes the COMMANDS section of the lumora-cli manual page from each
# command's own --help, for help2man --include: one subsection per command,
# its text kept as printed. Run as: cmake -DCLI=... -DOUT=... -P ManCommands.cmake
set(text "[COMMANDS]\n")
foreach(command reflections matrices tiling plot powder zone refine)
  execute_process(COMMAND ${CLI} ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CLI} ${command} --help failed")
  endif()
  # roff: a backslash is written \e, a minus \-, and a line starting with a
  # dot or quote would be a request.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REPLACE "-" "\\-" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(APPEND text ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
file(WRITE ${OUT} "${text}")
