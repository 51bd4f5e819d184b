// The viewer's one web page: plain HTML and JavaScript, served as it is by the viewer
// at "/". It fetches each new frame with its description from /frame.raw (waiting on
// the viewer for the next one), draws it on a canvas, polls /status.json once a
// second and plots the frame rate and the capture-to-display latency of the last
// minute. The page counts the frames it showed and those it skipped because it was
// busy; what it shows of a frame (pixels and header fields) is always of one frame.
//
// Threading: a constant; any thread.
#pragma once

extern const char kViewerPage[];
