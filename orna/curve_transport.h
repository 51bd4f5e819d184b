// The library's optional CURVE security: with keys configured, servers and clients talk
// over ZeroMQ's CURVE (encrypted, and each side proves its key), and a server admits
// only the client keys listed for it. Without keys nothing changes.
//
// The configuration is read from the environment:
//   ORNA_CURVE_SERVER_KEY     key pair file of this process's server
//   ORNA_CURVE_CLIENTS        public key file: the client keys that server admits
//   ORNA_CURVE_CLIENT_KEY     key pair file this process calls servers with
//   ORNA_CURVE_SERVER_PUBLIC  public key file: the key of the servers it calls
// Each pair goes together: one without the other, or a file that can't be used, is an
// error that stops the server from starting or every call from being made, with the
// reason on standard error and in the library log (never a silent fall-back to an
// open connection).
//
// Threading: OrnaSecureServerSocket and OrnaStopCurveGate on the thread that starts and
// ends the server; OrnaSecureClientSocket on any thread.
#pragma once

// Makes ROUTER (before it is bound) a CURVE server when this process has server keys,
// and starts the gate that checks each connecting client's key against the list.
// ORNA_OK when done or when no keys are configured; ORNA_SOCKET_ERROR after saying why.
int OrnaSecureServerSocket(void* context, void* router);

// Ends the gate, if one runs; before the server's ZeroMQ context is ended.
void OrnaStopCurveGate();

// Makes SOCKET (before it connects) a CURVE client when this process has client keys.
// True when done or when no keys are configured; false after saying why (once per
// process).
bool OrnaSecureClientSocket(void* socket);
