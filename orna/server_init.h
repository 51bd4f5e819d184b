// The server's transport: _SystemInit (orna_api.h) brings it up, OrnaShutdownServer
// takes it down. Main thread only.
#pragma once

// Withdraws the names entry and closes the transport, letting queued answers out.
void OrnaShutdownServer();
