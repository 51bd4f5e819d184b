// What one HTTP client may cost the viewer: how long a connection may sit idle, how
// long and how large one request may be, and how many connections are served at once.
// The viewer's own page and stream stay far inside these; an idle, trickling or
// oversized peer is dropped before it can hold a worker or memory for long.
//
// Threading: constants; any thread.
#pragma once

#include <cstddef>

// Longest wait for the first byte of a request, on a new connection or between the
// requests of a kept-alive one.
constexpr int kHttpIdleSeconds = 2;
// Longest wait for any one read inside a request; a peer silent that long is gone.
constexpr int kHttpReadSeconds = 1;
// Longest time from the first byte of a request to the last byte of its head and
// body, however the peer spaces them out (at most one read's wait beyond it).
constexpr int kHttpRequestSeconds = 3;
// Longest wait for a client to take a piece of an answer.
constexpr int kHttpWriteSeconds = 5;
// Requests served on one connection before it is closed.
constexpr int kHttpRequestsPerConnection = 100;
// Largest request body: nothing the viewer accepts carries more than a few bytes.
constexpr size_t kHttpMaxBodyBytes = 4096;
// Largest request line and headers together (a browser's, cookies for the host
// included, stay well below it).
constexpr size_t kHttpMaxHeadBytes = 32768;
// Connections served at once, each on a thread of its own while it is open; more wait
// for one to end. Idle and trickling connections end within the times above, so
// hundreds of them only delay a new one by seconds.
constexpr size_t kHttpMaxConnections = 512;
// After an answer to a request whose body was not read, how long the rest of it is
// read and dropped before closing, so that the client gets the answer rather than a
// reset.
constexpr int kHttpLingerMs = 1000;
