#include "orna/curve_transport.h"

#include <zmq.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "orna/curve_keys.h"
#include "orna/orna_api.h"

namespace {

// Where ZeroMQ asks a process's own handler whether a connecting peer may in.
constexpr const char* kZapEndpoint = "inproc://zeromq.zap.01";
constexpr int kGatePollMs = 100;
constexpr size_t kMostRefusalsTold = 64;

struct CurveSetup {
  bool on = false;
  bool usable = true;
  std::string error;
  OrnaCurveKeyPair own;
  std::vector<std::string> peers;  // servers: admitted clients; clients: the server key
};

void Say(const std::string& what) {
  fprintf(stderr, "orna: %s\n", what.c_str());
  feclog("%s", what.c_str());
}

// Reads one side's two variables; not on when neither is set.
CurveSetup ReadSetup(const char* pairVariable, const char* peersVariable) {
  CurveSetup setup;
  const char* pairPath = getenv(pairVariable);
  const char* peersPath = getenv(peersVariable);
  bool hasPair = pairPath != nullptr && *pairPath != '\0';
  bool hasPeers = peersPath != nullptr && *peersPath != '\0';
  if (!hasPair && !hasPeers) return setup;
  setup.on = true;
  setup.usable = false;
  if (!hasPair || !hasPeers) {
    setup.error = std::string(hasPair ? peersVariable : pairVariable) + " must be set with " +
                  (hasPair ? pairVariable : peersVariable);
  } else if (zmq_has("curve") == 0) {
    setup.error = std::string(pairVariable) + " is set, but this ZeroMQ has no CURVE security";
  } else if (OrnaReadKeyPair(pairPath, &setup.own, &setup.error) &&
             OrnaReadPublicKeys(peersPath, &setup.peers, &setup.error)) {
    setup.usable = true;
  }
  if (!setup.usable) setup.error = "CURVE security not usable: " + setup.error;
  return setup;
}

bool SetText(void* socket, int option, const std::string& text) {
  return zmq_setsockopt(socket, option, text.data(), text.size()) == 0;
}

// The gate: answers ZeroMQ's authentication requests (version, request id, domain,
// address, identity, mechanism, credentials) on its own thread, so that handshakes go
// on while the server's cycle is busy with a module call.
struct CurveGate {
  void* socket = nullptr;
  std::set<std::string> admitted;  // 32-byte keys
  std::set<std::string> told;      // refused keys already reported
  std::atomic<bool> stop{false};
  std::thread thread;
};

CurveGate* gGate = nullptr;  // server thread only

bool ReceiveRequest(void* socket, std::vector<std::string>* parts) {
  parts->clear();
  int more = 1;
  while (more != 0) {
    zmq_msg_t part;
    zmq_msg_init(&part);
    if (zmq_msg_recv(&part, socket, 0) < 0) {
      zmq_msg_close(&part);
      return false;
    }
    if (parts->size() < 16)
      parts->emplace_back(static_cast<const char*>(zmq_msg_data(&part)), zmq_msg_size(&part));
    more = zmq_msg_more(&part);
    zmq_msg_close(&part);
  }
  return true;
}

void Answer(CurveGate* gate, const std::vector<std::string>& request) {
  bool admitted = request.size() >= 7 && request[0] == "1.0" && request[5] == "CURVE" &&
                  gate->admitted.count(request[6]) != 0;
  if (!admitted && request.size() >= 7 && gate->told.size() < kMostRefusalsTold &&
      gate->told.insert(request[6]).second) {
    char key[kOrnaCurveKeyText + 1] = "?";
    if (request[6].size() == 32) zmq_z85_encode(key, (const uint8_t*)request[6].data(), 32);
    Say("refused a client from " + request[3] + ": key " + key + " is not admitted");
  }
  const std::string id = request.size() >= 2 ? request[1] : "";
  // An admitted client is known by its key (User-Id), so that the contracts count a
  // party by its key rather than by its connections.
  char user[kOrnaCurveKeyText + 1] = "";
  if (admitted) zmq_z85_encode(user, (const uint8_t*)request[6].data(), 32);
  const std::string answer[] = {"1.0", id, admitted ? "200" : "400",
                                admitted ? "OK" : "key not admitted", user, ""};
  for (int i = 0; i < 6; ++i) zmq_send(gate->socket, answer[i].data(), answer[i].size(), i < 5 ? ZMQ_SNDMORE : 0);
}

void RunGate(CurveGate* gate) {
  std::vector<std::string> request;
  while (!gate->stop.load()) {
    zmq_pollitem_t item = {gate->socket, 0, ZMQ_POLLIN, 0};
    if (zmq_poll(&item, 1, kGatePollMs) <= 0) continue;
    if (ReceiveRequest(gate->socket, &request)) Answer(gate, request);
  }
}

}  // namespace

int OrnaSecureServerSocket(void* context, void* router) {
  const CurveSetup setup = ReadSetup("ORNA_CURVE_SERVER_KEY", "ORNA_CURVE_CLIENTS");
  if (!setup.on) return ORNA_OK;
  if (!setup.usable) {
    Say(setup.error);
    return ORNA_SOCKET_ERROR;
  }
  auto gate = new CurveGate;
  for (const std::string& key : setup.peers) {
    uint8_t bytes[32];
    zmq_z85_decode(bytes, key.c_str());
    gate->admitted.insert(std::string((const char*)bytes, sizeof bytes));
  }
  int on = 1;
  gate->socket = zmq_socket(context, ZMQ_REP);
  // The gate is bound before the server's socket: with no gate, ZeroMQ would let every
  // client with a valid handshake in.
  bool ok = gate->socket != nullptr && zmq_bind(gate->socket, kZapEndpoint) == 0 &&
            zmq_setsockopt(router, ZMQ_CURVE_SERVER, &on, sizeof on) == 0 &&
            SetText(router, ZMQ_CURVE_SECRETKEY, setup.own.secretKey) &&
            SetText(router, ZMQ_ZAP_DOMAIN, "orna");
  if (!ok) {
    Say(std::string("CURVE security could not be set up: ") + zmq_strerror(zmq_errno()));
    if (gate->socket != nullptr) zmq_close(gate->socket);
    delete gate;
    return ORNA_SOCKET_ERROR;
  }
  gate->thread = std::thread(RunGate, gate);
  gGate = gate;
  return ORNA_OK;
}

void OrnaStopCurveGate() {
  if (gGate == nullptr) return;
  gGate->stop.store(true);
  gGate->thread.join();
  zmq_close(gGate->socket);
  delete gGate;
  gGate = nullptr;
}

bool OrnaSecureClientSocket(void* socket) {
  static const CurveSetup setup = [] {
    CurveSetup read = ReadSetup("ORNA_CURVE_CLIENT_KEY", "ORNA_CURVE_SERVER_PUBLIC");
    if (read.on && read.usable && read.peers.size() != 1) {
      read.usable = false;
      read.error = "CURVE security not usable: ORNA_CURVE_SERVER_PUBLIC must hold one key";
    }
    if (!read.usable) Say(read.error);
    return read;
  }();
  if (!setup.on) return true;
  return setup.usable && SetText(socket, ZMQ_CURVE_SERVERKEY, setup.peers[0]) &&
         SetText(socket, ZMQ_CURVE_PUBLICKEY, setup.own.publicKey) &&
         SetText(socket, ZMQ_CURVE_SECRETKEY, setup.own.secretKey);
}
