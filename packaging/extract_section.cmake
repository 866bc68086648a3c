# Writes one section of a Markdown file (from its "## " heading to the next one) to a file of its
# own, the heading made the document's title.
#
#   cmake -DINPUT=README.md -DHEADING="If an update fails: the retry procedure" -DOUTPUT=out.md
#         -P extract_section.cmake
file(STRINGS "${INPUT}" lines ENCODING UTF-8)
set(section "")
set(inside FALSE)
foreach(line IN LISTS lines)
    if(line MATCHES "^## ")
        if(inside)
            break()
        endif()
        if(line STREQUAL "## ${HEADING}")
            set(inside TRUE)
            set(line "# ${HEADING}")
        endif()
    endif()
    if(inside)
        string(APPEND section "${line}\n")
    endif()
endforeach()
if(NOT inside)
    message(FATAL_ERROR "${INPUT} has no section \"## ${HEADING}\"")
endif()
string(REGEX REPLACE "\n+$" "\n" section "${section}")
file(WRITE "${OUTPUT}" "${section}")
