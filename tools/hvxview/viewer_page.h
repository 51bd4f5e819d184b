// The viewer's web page, kept as files in tools/hvxview/page/ (HTML, JavaScript, CSS)
// and built into the program by CMake (cmake/embed_file.cmake), served as they are:
// "/" the HTML, "/viewer.js" and "/viewer.css" what it loads.
//
// Threading: constants; any thread.
#pragma once

#include <cstddef>

struct PageFile {
  const char* path;         // the route, e.g. "/viewer.js"
  const char* contentType;  // with its charset
  const char* bytes;
  size_t size;
};

// The page's files, kViewerPageFileCount of them.
extern const PageFile kViewerPageFiles[];
extern const size_t kViewerPageFileCount;
