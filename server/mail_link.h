// The store server's link to the mail system beside it (zelmmailsys, which
// serves the SMTP, alias, anti-spam, IMAP and POP agents with mail daemons):
// one request of the messaging service over the request wire, the way the
// administration tools ask the store server. Notices are passed on this
// way, and the mail system's counters and state are asked for.
#pragma once

#include <cstdint>
#include <string>

#include "request_service.h"

class MailLink {
 public:
  // address: "a.b.c.d:port" of the mail system's request service.
  explicit MailLink(const std::string& address);
  bool Valid() const { return port_ != 0; }
  const std::string& Address() const { return address_; }
  // Sends one 140-byte request and takes its 140-byte reply, waiting at most
  // waitSeconds for the connection and for the answer. False with a reason.
  bool Ask(const unsigned char request[kNoticeBytes], unsigned char reply[kNoticeBytes],
           int waitSeconds, std::string* error) const;
  // The state text the mail system gives (code kNoticeMailState); "" when it
  // does not answer.
  std::string State(int waitSeconds) const;

 private:
  std::string address_;
  uint32_t ip_ = 0;
  uint16_t port_ = 0;
};
