# The release entries of the software-centre data are the one place where
# each version's date and what it changed for users are written down. The
# newest entry names the version being built; the Debian changelog is made
# from all of them.
#
#   quillet_read_releases(METAINFO_IN)
#     sets QUILLET_RELEASES (the entries' versions, newest first) and, for
#     each version V, QUILLET_RELEASE_DATE_<V> (as written: a date, or a date
#     and time) and QUILLET_RELEASE_NOTES_<V> (its paragraphs and list items,
#     each as "p:text" or "li:text"); QUILLET_RELEASE_DATE is the newest
#     entry's day. Stops the configuration when the newest entry is not
#     PROJECT_VERSION: a version is not shipped without its release note.
#
#   quillet_write_debian_changelog(OUTPUT PACKAGE MAINTAINER)
#     writes those entries as a Debian changelog.

macro(quillet_read_releases metainfo)
  file(READ "${metainfo}" _xml)
  string(REGEX REPLACE "^.*<releases>" "" _xml "${_xml}")
  string(REGEX REPLACE "</releases>.*$" "" _xml "${_xml}")
  # One list element per release; a semicolon in the text is kept aside.
  string(REPLACE ";" "<semicolon>" _xml "${_xml}")
  string(REGEX REPLACE "[ \t\r\n]+" " " _xml "${_xml}")
  string(REPLACE "</release>" ";" _chunks "${_xml}")
  set(QUILLET_RELEASES "")
  foreach(_chunk IN LISTS _chunks)
    if(NOT _chunk MATCHES "<release version=\"([^\"]+)\" date=\"([^\"]+)\"")
      continue()
    endif()
    set(_version "${CMAKE_MATCH_1}")
    list(APPEND QUILLET_RELEASES "${_version}")
    set(QUILLET_RELEASE_DATE_${_version} "${CMAKE_MATCH_2}")
    set(QUILLET_RELEASE_NOTES_${_version} "")
    string(REGEX MATCHALL "<(p|li)>[^<]*</" _items "${_chunk}")
    foreach(_item IN LISTS _items)
      string(REGEX REPLACE "^<(p|li)> ?(.*[^ ]) ?</$" "\\1:\\2" _item "${_item}")
      foreach(_entity "lt:<" "gt:>" "quot:\"" "apos:'" "amp:&")
        string(REGEX MATCH "^[a-z]+" _name "${_entity}")
        string(REGEX REPLACE "^[a-z]+:" "" _char "${_entity}")
        string(REPLACE "&${_name};" "${_char}" _item "${_item}")
      endforeach()
      list(APPEND QUILLET_RELEASE_NOTES_${_version} "${_item}")
    endforeach()
  endforeach()

  list(GET QUILLET_RELEASES 0 _newest)
  if(NOT _newest STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "${metainfo}: the newest release entry is ${_newest}, "
                        "not ${PROJECT_VERSION}; add an entry that says what "
                        "${PROJECT_VERSION} changes for users")
  endif()
  string(SUBSTRING "${QUILLET_RELEASE_DATE_${_newest}}" 0 10 QUILLET_RELEASE_DATE)
endmacro()

# Appends WORDS to the variable OUT, wrapped to lines of at most 80
# characters: the first line starts with FIRST, the others with REST.
function(_quillet_wrap out words first rest)
  set(result "${${out}}")
  set(line "${first}")
  set(fresh TRUE)
  string(REPLACE " " ";" words "${words}")
  foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" length)
    if(fresh)
      string(APPEND line "${word}")
      set(fresh FALSE)
    elseif(length GREATER 80)
      string(APPEND result "${line}\n")
      set(line "${rest}${word}")
    else()
      string(APPEND line " ${word}")
    endif()
  endforeach()
  string(APPEND result "${line}\n")
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# "Sun, 06 Dec 2026 12:00:00 +0000" for "2026-12-06" or
# "2026-12-06T12:00:00Z"; noon when no time is given.
function(_quillet_rfc2822_date out when)
  if(NOT when MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])(T([0-9][0-9]:[0-9][0-9]:[0-9][0-9])Z?)?$")
    message(FATAL_ERROR "Release date ${when} is not of the form YYYY-MM-DD")
  endif()
  set(year ${CMAKE_MATCH_1})
  set(day ${CMAKE_MATCH_3})
  set(time "${CMAKE_MATCH_5}")
  math(EXPR month "1${CMAKE_MATCH_2} - 100")
  if(time STREQUAL "")
    set(time "12:00:00")
  endif()
  # The day of the week, 0 for Sunday, by Sakamoto's method.
  set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR index "${month} - 1")
  list(GET offsets ${index} offset)
  set(y ${year})
  if(month LESS 3)
    math(EXPR y "${y} - 1")
  endif()
  math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + 1${day} - 100) % 7")
  set(weekdays Sun Mon Tue Wed Thu Fri Sat)
  list(GET weekdays ${weekday} weekday)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(GET months ${index} month)
  set(${out} "${weekday}, ${day} ${month} ${year} ${time} +0000" PARENT_SCOPE)
endfunction()

function(quillet_write_debian_changelog output package maintainer)
  set(text "")
  foreach(version IN LISTS QUILLET_RELEASES)
    string(APPEND text "${package} (${version}) unstable; urgency=medium\n\n")
    foreach(note IN LISTS QUILLET_RELEASE_NOTES_${version})
      if(note MATCHES "^p:(.*)")
        _quillet_wrap(text "${CMAKE_MATCH_1}" "  * " "    ")
      elseif(note MATCHES "^li:(.*)")
        _quillet_wrap(text "${CMAKE_MATCH_1}" "    - " "      ")
      endif()
    endforeach()
    _quillet_rfc2822_date(date "${QUILLET_RELEASE_DATE_${version}}")
    string(APPEND text "\n -- ${maintainer}  ${date}\n\n")
  endforeach()
  string(REGEX REPLACE "\n\n$" "\n" text "${text}")
  string(REPLACE "<semicolon>" ";" text "${text}")
  file(WRITE "${output}" "${text}")
endfunction()
