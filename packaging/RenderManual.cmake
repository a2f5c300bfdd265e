# Writes the manual page of one language from the two-language source, plain and gzipped:
#   cmake -DSOURCE=marlo-cli.1.in -DLANG=en|ja -DVERSION=... -DDATE=... -DOUTPUT=marlo-cli.1 -P RenderManual.cmake
# A line "en:..." or "ja:..." goes to that language's page only, without its tag;
# a line "#..." is a note of the source and goes nowhere; every other line goes to both.
foreach(var SOURCE LANG VERSION DATE OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "RenderManual.cmake: ${var} is not set")
    endif()
endforeach()
file(STRINGS ${SOURCE} lines ENCODING UTF-8)
set(page "")
set(sections 0)
foreach(line IN LISTS lines)
    if(line MATCHES "^#")
        continue()
    endif()
    if(line MATCHES "^(en|ja):(.*)$")
        if(NOT CMAKE_MATCH_1 STREQUAL LANG)
            continue()
        endif()
        set(line "${CMAKE_MATCH_2}")
        # Japanese has no spaces to break at: allow a break after each comma and full
        # stop, but not in the first section, NAME, which whatis reads as it stands.
        if(LANG STREQUAL "ja" AND sections GREATER 1 AND NOT line MATCHES "^\\.")
            string(REPLACE "、" "、\\:" line "${line}")
            string(REPLACE "。" "。\\:" line "${line}")
        endif()
    endif()
    if(line MATCHES "^\\.SH")
        math(EXPR sections "${sections} + 1")
    endif()
    string(APPEND page "${line}\n")
endforeach()
set(MARLO_VERSION ${VERSION})
set(MARLO_DATE ${DATE})
string(CONFIGURE "${page}" page @ONLY)
file(WRITE ${OUTPUT} "${page}")
# The installed page is compressed, as the manual's readers expect.
file(ARCHIVE_CREATE OUTPUT ${OUTPUT}.gz PATHS ${OUTPUT} FORMAT raw COMPRESSION GZip COMPRESSION_LEVEL 9)
