# Turns the user guide (Markdown) into one HTML page that a desktop's browser opens from the disk.
# Run with cmake -P: -DCMARK=<cmark> -DSOURCE=<guide.md> -DOUTPUT=<page.html>.
# The guide's chapter anchors are HTML of its own (<a id="...">), which cmark keeps with --unsafe.
execute_process(COMMAND ${CMARK} --unsafe ${SOURCE} OUTPUT_VARIABLE body RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmark could not convert ${SOURCE} (${status})")
endif()
# Headings get the ids that the guide's own links (#video-files-视频文件) use: the text without
# markup and ASCII punctuation, lower case, spaces as hyphens. CMake lists split at ";", so the
# page's semicolons are kept out of the way meanwhile.
string(REPLACE ";" "@SEMICOLON@" body "${body}")
string(REGEX MATCHALL "<h[1-6]>[^\n]*</h[1-6]>" headings "${body}")
foreach(heading ${headings})
  string(REGEX REPLACE "<[^>]*>" "" slug "${heading}")
  string(REGEX REPLACE "&[a-z]+@SEMICOLON@" "" slug "${slug}")
  string(TOLOWER "${slug}" slug)
  string(REGEX REPLACE "[!-,./:-@[-^`{-~]" "" slug "${slug}")
  string(REPLACE " " "-" slug "${slug}")
  string(REGEX REPLACE "^<h([1-6])>" "<h\\1 id=\"${slug}\">" identified "${heading}")
  string(REPLACE "${heading}" "${identified}" body "${body}")
endforeach()
string(REPLACE "@SEMICOLON@" ";" body "${body}")
file(WRITE ${OUTPUT} "<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<title>Kalimo user guide</title>
<style>
body { max-width: 52em; margin: 2em auto; padding: 0 1em; font-family: sans-serif; line-height: 1.5; }
img { max-width: 100%; }
table { border-collapse: collapse; }
td, th { border: 1px solid #bbb; padding: 0.2em 0.5em; }
code, pre { background: #f4f4f4; }
pre { padding: 0.5em; overflow-x: auto; }
</style>
</head>
<body>
${body}</body>
</html>
")
