#include "tools/hvxview/viewer_page.h"

// Defined by the sources CMake makes from the page's files.
extern const char kPageIndexHtml[];
extern const size_t kPageIndexHtmlSize;
extern const char kPageViewerJs[];
extern const size_t kPageViewerJsSize;
extern const char kPageViewerCss[];
extern const size_t kPageViewerCssSize;

const PageFile kViewerPageFiles[] = {
    {"/", "text/html; charset=utf-8", kPageIndexHtml, kPageIndexHtmlSize},
    {"/viewer.js", "text/javascript; charset=utf-8", kPageViewerJs, kPageViewerJsSize},
    {"/viewer.css", "text/css; charset=utf-8", kPageViewerCss, kPageViewerCssSize},
};
const size_t kViewerPageFileCount = sizeof kViewerPageFiles / sizeof kViewerPageFiles[0];
