# kalimo_write_desktop_entry(TEMPLATE OUTPUT PROGRAM ICON): writes Kalimo's desktop entry from
# TEMPLATE into OUTPUT, starting PROGRAM (an absolute path) in its own folder, where the program
# reads its log configuration, with ICON (an icon name of the theme, or an absolute file).
# Used at configure time (the build tree's entry) and at install time (the installed entry).

# A value of type string: backslashes doubled, other control characters refused.
function(kalimo_desktop_string value result)
  if(value MATCHES "[\n\r\t]")
    message(FATAL_ERROR "A desktop entry cannot hold the path \"${value}\" (it contains a line break or tab)")
  endif()
  string(REPLACE "\\" "\\\\" value "${value}")
  set(${result} "${value}" PARENT_SCOPE)
endfunction()

# The Exec value: the program's path, quoted when it holds anything but plain path characters,
# with the characters the quoting reserves escaped, then escaped as a string; "%" doubled as the
# field codes require.
function(kalimo_desktop_exec program result)
  if(program MATCHES "^[A-Za-z0-9/._+-]+$")
    set(command "${program}")
  else()
    string(REPLACE "\\" "\\\\" command "${program}")
    string(REPLACE "\"" "\\\"" command "${command}")
    string(REPLACE "`" "\\`" command "${command}")
    string(REPLACE "$" "\\$" command "${command}")
    set(command "\"${command}\"")
  endif()
  string(REPLACE "%" "%%" command "${command}")
  kalimo_desktop_string("${command}" command)
  set(${result} "${command}" PARENT_SCOPE)
endfunction()

function(kalimo_write_desktop_entry template output program icon)
  get_filename_component(folder "${program}" DIRECTORY)
  kalimo_desktop_exec("${program}" KALIMO_DESKTOP_EXEC)
  kalimo_desktop_string("${program}" KALIMO_DESKTOP_TRY_EXEC)
  kalimo_desktop_string("${folder}" KALIMO_DESKTOP_PATH)
  kalimo_desktop_string("${icon}" KALIMO_DESKTOP_ICON)
  configure_file("${template}" "${output}" @ONLY)
endfunction()
