// The server's transport: _SystemInit binds the ROUTER socket and the inproc pair that
// wakes the cycle; OrnaShutdownServer takes it all down at the end.
#include "orna/server_init.h"

#include <zmq.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "orna/curve_transport.h"
#include "orna/frame_ring_server.h"
#include "orna/etcd_registration.h"
#include "orna/names.h"
#include "orna/server_state.h"
#include "orna/tuning.h"
#include "platform/host_name.h"

namespace {


// The lease of a subscription; ORNA_CONTRACT_LEASE_MS may shorten it (tests).
int LeaseMs() {
  const char* text = getenv("ORNA_CONTRACT_LEASE_MS");
  if (text == nullptr) return 10000;
  long ms = strtol(text, nullptr, 10);
  return ms < 200 ? 200 : ms > 600000 ? 600000 : (int)ms;
}

// The address the server listens on: loopback only when asked, ORNA_BIND_ADDRESS
// when set, every interface otherwise.
std::string BindAddress() {
  if (Tuning().loopbackOnly) return "127.0.0.1";
  const char* address = getenv("ORNA_BIND_ADDRESS");
  if (address != nullptr && *address != '\0') return address;
  return "*";
}

void CloseAll(OrnaServer& s) {
  {
    MutexLock lock(Schedule().mutex);
    Schedule().open = false;
    Schedule().wake = nullptr;
  }
  SysCloseWakeSignal(s.wake);
  s.wake = nullptr;
  if (s.router != nullptr) zmq_close(s.router);
  OrnaStopCurveGate();
  if (s.context0mq != nullptr) zmq_ctx_term(s.context0mq);
  s.router = s.context0mq = nullptr;
  s.initialized = false;
}

}  // namespace

int _SystemInit(int /*argument*/) {
  OrnaServer& s = Server();
  if (!s.fecRegistered) return ORNA_NOT_REGISTERED;
  if (s.initialized) return ORNA_ALREADY_REGISTERED;
  const OrnaTuning& t = Tuning();
  s.contracts.leaseMs = LeaseMs();
  const long long port = (long long)OrnaBasePort() + s.portOffset;
  if (s.portOffset < 0 || port > 65535) return ORNA_INVALID_ARGUMENT;
  s.port = (int)port;

  s.context0mq = zmq_ctx_new();
  if (s.context0mq == nullptr) return ORNA_SOCKET_ERROR;
  s.router = zmq_socket(s.context0mq, ZMQ_ROUTER);
  s.wake = SysCreateWakeSignal();
  if (s.router == nullptr || s.wake == nullptr) {
    CloseAll(s);
    return ORNA_SOCKET_ERROR;
  }
  int on = 1, linger = 1000, depth = t.queueDepth;
  int64_t largest = t.packetMtu;
  zmq_setsockopt(s.router, ZMQ_ROUTER_MANDATORY, &on, sizeof on);
  zmq_setsockopt(s.router, ZMQ_LINGER, &linger, sizeof linger);
  zmq_setsockopt(s.router, ZMQ_SNDHWM, &depth, sizeof depth);
  zmq_setsockopt(s.router, ZMQ_RCVHWM, &depth, sizeof depth);
  zmq_setsockopt(s.router, ZMQ_MAXMSGSIZE, &largest, sizeof largest);

  int secured = OrnaSecureServerSocket(s.context0mq, s.router);
  if (secured != ORNA_OK) {
    CloseAll(s);
    return secured;
  }

  std::string address = BindAddress();
  std::string bind = "tcp://" + address + ":" + std::to_string(s.port);
  if (zmq_bind(s.router, bind.c_str()) != 0) {
    int error = errno;
    CloseAll(s);
    return error == EADDRINUSE ? ORNA_ADDRESS_IN_USE : ORNA_SOCKET_ERROR;
  }
  std::string host = address == "*" || address == "0.0.0.0" ? "127.0.0.1" : address;
  s.endpoint = "tcp://" + host + ":" + std::to_string(s.port);
  std::string hostName;
  if (host != address && SysHostName(&hostName)) host = hostName;
  s.sharedEndpoint = "tcp://" + host + ":" + std::to_string(s.port);
  {
    MutexLock lock(Schedule().mutex);
    Schedule().wake = s.wake;
    Schedule().open = true;
  }
  s.initialized = true;
  return ORNA_OK;
}

void OrnaShutdownServer() {
  OrnaServer& s = Server();
  if (s.published) OrnaWithdrawServer(s.context, s.serverName);
  OrnaEtcdWithdraw();
  s.published = false;
  OrnaCloseFrameRing();
  CloseAll(s);  // lingers until the last answers are out
}
