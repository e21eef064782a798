// The configuration-change requests a page sends the server's request
// service, compared whole: the 140 bytes as the wire holds them.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "netcalls_wire.h"
#include "request_service.h"

namespace snapintest {

// A configuration-change request: the code, 32 bits little-endian, then the
// module file name, zero-filled to 140 bytes.
inline std::string ConfigNotice(uint32_t code, const std::string& module) {
  std::string r(140, '\0');
  for (int i = 0; i < 4; ++i) r[i] = static_cast<char>(code >> (8 * i));
  r.replace(4, module.size(), module);
  return r;
}

// What was sent to the service's services (lookups and module requests
// left out), from request `from` on.
inline std::vector<std::string> SentRequests(RequestService& service, size_t from = 0) {
  std::vector<std::string> out;
  std::vector<ServiceRequest> all = service.Requests();
  for (size_t i = from; i < all.size(); ++i)
    if (all[i].type == NCW_SEND) out.push_back(all[i].data);
  return out;
}

}  // namespace snapintest
