# Writes a manual page from what a command-line program prints for --help
# and --version, so that the page says exactly what the program says.
#
#   cmake -DPROGRAM=<executable> -DNAME=<page name> -DVERSION=<x.y.z>
#         -DDATE=<yyyy-mm-dd> -DOUTPUT=<file> -P HelpToMan.cmake
#
# The help text is read in the layout Qt's command-line parser prints:
#
#   Usage: name [options] args        -> SYNOPSIS
#          name other args            -> another line of it
#   one or more lines of description  -> DESCRIPTION (first line also NAME)
#   Heading:                          -> a section of that name ("Exit
#                                        status" is EXIT STATUS)
#     -x, --long <value>  Text        -> an indented entry
#                         more text   -> continues the entry above
#     a term of several words         -> an entry whose text follows
#              its text               -> on lines indented further
foreach(var PROGRAM NAME VERSION DATE OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "HelpToMan.cmake needs -D${var}=...")
  endif()
endforeach()

execute_process(COMMAND "${PROGRAM}" --help
  OUTPUT_VARIABLE help RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed (${status}): ${errors}")
endif()

# Man format: a backslash starts an escape, a line starting with a dot or a
# quote would be read as a request, and a plain "-" may be set as a hyphen.
function(man_escape text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "<semicolon>" ";" text "${text}")
  string(REPLACE "<lsqb>" "[" text "${text}")
  string(REPLACE "<rsqb>" "]" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

string(TOUPPER "${NAME}" title)
man_escape("${NAME}" name_text)
set(page ".TH \"${title}\" \"1\" \"${DATE}\" \"Quillet ${VERSION}\" \"User Commands\"\n")
set(summary "")
set(body "")
set(synopsis "")
set(in_entry FALSE)
set(in_usage FALSE)
set(paragraph FALSE)

# One list entry a line. A semicolon in the text is kept aside meanwhile, and
# so are square brackets, which would keep a list from being split between
# them.
string(REPLACE ";" "<semicolon>" help "${help}")
string(REPLACE "[" "<lsqb>" help "${help}")
string(REPLACE "]" "<rsqb>" help "${help}")
string(REPLACE "\n" ";" lines "${help}")
foreach(line IN LISTS lines)
  # Each test copies its captures at once: the next match clears them.
  set(term "")
  set(text "")
  if(line MATCHES "^  +([^ ].*[^ ]|[^ ])   *([^ ].*)$")
    set(term "${CMAKE_MATCH_1}")
    set(text "${CMAKE_MATCH_2}")
  elseif(line MATCHES "^  ([^ ].*)$")
    set(term "${CMAKE_MATCH_1}")
  endif()

  if(line MATCHES "^Usage: *[^ ]+ *(.*)$")
    man_escape("${CMAKE_MATCH_1}" args)
    set(synopsis ".B ${name_text}\n${args}\n")
    set(in_usage TRUE)
  elseif(in_usage AND line MATCHES "^ +[^ ]+ +(.*)$")
    man_escape("${CMAKE_MATCH_1}" args)
    string(APPEND synopsis ".br\n.B ${name_text}\n${args}\n")
  elseif(line MATCHES "^([A-Za-z][A-Za-z ]*):$")
    set(in_usage FALSE)
    string(TOUPPER "${CMAKE_MATCH_1}" heading)
    string(APPEND body ".SH ${heading}\n")
    set(in_entry FALSE)
    set(paragraph FALSE)
  elseif(in_entry AND line MATCHES "^   +([^ ].*)$")
    # The wrapped text of the entry above.
    man_escape("${CMAKE_MATCH_1}" text)
    string(APPEND body "${text}\n")
  elseif(NOT term STREQUAL "")
    man_escape("${term}" term)
    man_escape("${text}" text)
    string(APPEND body ".TP\n.B ${term}\n")
    if(NOT text STREQUAL "")
      string(APPEND body "${text}\n")
    endif()
    set(in_entry TRUE)
  elseif(line STREQUAL "")
    set(in_entry FALSE)
    set(paragraph TRUE)
  else()
    set(in_usage FALSE)
    string(STRIP "${line}" line)
    man_escape("${line}" text)
    if(summary STREQUAL "" AND body STREQUAL "")
      set(summary "${text}")
      string(APPEND body ".SH DESCRIPTION\n")
    elseif(paragraph)
      string(APPEND body ".PP\n")
    endif()
    string(APPEND body "${text}\n")
    set(paragraph FALSE)
  endif()
endforeach()

execute_process(COMMAND "${PROGRAM}" --version
  OUTPUT_VARIABLE version_text RESULT_VARIABLE status)
if(status EQUAL 0)
  # Its first line: the name and the version number.
  string(REGEX REPLACE "\n.*" "" version_text "${version_text}")
  man_escape("${version_text}" version_text)
  string(APPEND body ".SH VERSION\n${version_text}\n")
endif()

if(summary STREQUAL "")
  set(summary "Quillet on the command line")
endif()
# A NAME line is a phrase, without the sentence's full stop.
string(REGEX REPLACE "\\.$" "" summary "${summary}")
string(APPEND page ".SH NAME\n${name_text} \\- ${summary}\n")
if(NOT synopsis STREQUAL "")
  string(APPEND page ".SH SYNOPSIS\n${synopsis}")
endif()
string(APPEND page "${body}")
string(APPEND page ".SH SEE ALSO\n.BR quillet (1)\n")
file(WRITE "${OUTPUT}" "${page}")
