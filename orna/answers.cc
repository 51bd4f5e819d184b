#include "orna/answers.h"

#include <cerrno>

#include "orna/server_state.h"

void OrnaAnswer(const std::string& routingId, const orna_wire::ReplyHeader& header,
                OrnaMessage* data) {
  OrnaServer& s = Server();
  OrnaMessage head;
  if (!OrnaEncodeReply(header, &head)) return;
  int error = OrnaSendToClient(s.router, routingId, head, data);
  if (error == EAGAIN) ++s.counters.dropped;
  else if (error == EHOSTUNREACH) OrnaForgetClient(s.contracts, routingId);
}
