#include "config.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "netcalls_wire.h"

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool ParseNumber(const std::string& text, uint64_t max, uint64_t* out) {
  if (text.empty() || text.size() > 20) return false;
  for (char ch : text)
    if (ch < '0' || ch > '9') return false;
  errno = 0;
  unsigned long long v = strtoull(text.c_str(), nullptr, 10);
  if (errno != 0 || v > max) return false;
  *out = v;
  return true;
}

bool ParseNet(const std::string& item, TrustedNet* net) {
  std::string addr = item;
  int bits = 32;
  size_t slash = item.find('/');
  if (slash != std::string::npos) {
    uint64_t b;
    if (!ParseNumber(item.substr(slash + 1), 32, &b)) return false;
    bits = static_cast<int>(b);
    addr = item.substr(0, slash);
  }
  in_addr a;
  if (inet_pton(AF_INET, addr.c_str(), &a) != 1) return false;
  net->mask = bits == 0 ? 0 : ~uint32_t(0) << (32 - bits);
  net->address = ntohl(a.s_addr) & net->mask;
  return true;
}

std::string Dotted(uint32_t hostOrder) {
  in_addr a;
  a.s_addr = htonl(hostOrder);
  char buf[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &a, buf, sizeof buf);
  return buf;
}

}  // namespace

bool ParseTrustedList(const std::string& text, std::vector<TrustedNet>* out, std::string* error) {
  out->clear();
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string item = Trim(text.substr(start, comma == std::string::npos ? std::string::npos
                                                                           : comma - start));
    if (!item.empty()) {
      TrustedNet net;
      if (!ParseNet(item, &net)) {
        *error = "not an IPv4 address or network: " + item;
        return false;
      }
      out->push_back(net);
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (out->empty()) {
    *error = "empty list of trusted hosts";
    return false;
  }
  return true;
}

std::string FormatTrustedList(const std::vector<TrustedNet>& nets) {
  if (nets.empty()) return "127.0.0.0/8";
  std::string s;
  for (const TrustedNet& n : nets) {
    if (!s.empty()) s += ',';
    int bits = 0;
    for (uint32_t m = n.mask; m & 0x80000000u; m <<= 1) ++bits;
    s += Dotted(n.address) + "/" + std::to_string(bits);
  }
  return s;
}

bool IsTrustedAddress(const StoreConfig& config, uint32_t address) {
  if (config.trusted.empty()) return (address >> 24) == 127;
  for (const TrustedNet& n : config.trusted)
    if ((address & n.mask) == n.address) return true;
  return false;
}

uint64_t QuotaFor(const StoreConfig& config, const std::string& user) {
  if (!config.userQuotaKb.empty()) {
    std::string folded = user;
    for (char& ch : folded)
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    auto it = config.userQuotaKb.find(folded);
    if (it != config.userQuotaKb.end()) return it->second;
  }
  return config.quotaKb;
}

bool ApplySetting(StoreConfig* c, const std::string& key, const std::string& rawValue,
                  std::string* error) {
  std::string value = Trim(rawValue);
  uint64_t n = 0;
  auto number = [&](uint64_t min, uint64_t max) {
    if (ParseNumber(value, max, &n) && n >= min) return true;
    *error = key + ": expected a number from " + std::to_string(min) + " to " +
             std::to_string(max);
    return false;
  };
  if (key == "root") {
    if (value.empty()) {
      *error = "root: empty path";
      return false;
    }
    c->storeRoot = value;
  } else if (key == "listen") {
    in_addr a;
    if (inet_pton(AF_INET, value.c_str(), &a) != 1) {
      *error = "listen: not an IPv4 address: " + value;
      return false;
    }
    c->listenAddress = value;
    c->listenGiven = true;
  } else if (key == "port") {
    if (!number(1, 65535)) return false;
    c->port = static_cast<uint16_t>(n);
  } else if (key == "trusted") {
    if (!ParseTrustedList(value, &c->trusted, error)) return false;
  } else if (key == "quota-kb") {
    if (!number(0, 0xFFFFFFFFull)) return false;  // the client reads 32 bits
    c->quotaKb = n;
  } else if (key == "max-clients") {
    if (!number(1, 10000)) return false;
    c->maxClients = static_cast<int>(n);
  } else if (key == "max-per-host") {
    if (!number(1, 10000)) return false;
    c->maxPerHost = static_cast<int>(n);
  } else if (key == "first-command-seconds") {
    if (!number(1, 3600)) return false;
    c->firstCommandSeconds = static_cast<int>(n);
  } else if (key == "idle-seconds") {
    if (!number(1, 86400)) return false;
    c->idleSeconds = static_cast<int>(n);
  } else if (key == "send-timeout") {
    if (!number(1, 3600)) return false;
    c->sendTimeoutSeconds = static_cast<int>(n);
  } else if (key == "disabled") {
    if (value != "0" && value != "1") {
      *error = "disabled: expected 0 or 1";
      return false;
    }
    c->disabled = value == "1";
  } else if (key == "authserv-id") {
    c->authservId = value;
  } else if (key == "request-port") {
    if (!number(0, 65535)) return false;
    c->requestPort = static_cast<uint16_t>(n);
  } else if (key == "directory" || key == "server-object" || key == "password-file") {
    if (value.empty()) {
      *error = key + ": empty value";
      return false;
    }
    (key == "directory" ? c->directory : key == "server-object" ? c->serverObject : c->passwordFile) =
        value;
  } else if (key == "identity") {
    c->identity = value;
  } else if (key == "mail-system") {
    uint32_t ip = 0;
    uint16_t port = 0;
    if (ncw_parse_address(value.c_str(), &ip, &port) != 0 || value.find(':') == std::string::npos) {
      *error = "mail-system: expected a.b.c.d:port";
      return false;
    }
    c->mailSystem = value;
  } else if (key == "watch-directory") {
    if (value != "0" && value != "1") {
      *error = "watch-directory: expected 0 or 1";
      return false;
    }
    c->watchDirectory = value == "1";
  } else {
    *error = "unknown setting: " + key;
    return false;
  }
  return true;
}

bool LoadConfigFile(const std::string& path, StoreConfig* config, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    if (Trim(line).empty()) continue;
    size_t eq = line.find('=');
    std::string why;
    if (eq == std::string::npos) {
      why = "expected key = value";
    } else if (ApplySetting(config, Trim(line.substr(0, eq)), line.substr(eq + 1), &why)) {
      continue;
    }
    *error = path + ":" + std::to_string(number) + ": " + why;
    return false;
  }
  config->configFile = path;
  return true;
}

const char* UsageText() {
  return "usage: zelmstored --root DIR [--listen ADDR] [--port N] [--trusted LIST]\n"
         "                  [--quota-kb N] [--max-clients N] [--max-per-host N]\n"
         "                  [--first-command-seconds N] [--idle-seconds N]\n"
         "                  [--send-timeout N] [--authserv-id ID] [--disabled 0|1]\n"
         "                  [--request-port N] [--config FILE]\n"
         "       zelmstored --directory FILE|ldap://HOST:PORT/BASE --server-object NAME\n"
         "                  [--identity NAME] [--password-file FILE] [--watch-directory 0|1]\n"
         "                  [--mail-system ADDR:PORT]\n"
         "                  [--root DIR] [other options]\n";
}

bool ParseCommandLine(int argc, char** argv, StoreConfig* config, std::string* error,
                      bool* help) {
  *help = false;
  // The file first, so that options given beside it override its values.
  for (int i = 1; i + 1 < argc; ++i) {
    if (strcmp(argv[i], "--config") == 0 && !LoadConfigFile(argv[i + 1], config, error))
      return false;
  }
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      *help = true;
      return true;
    }
    if (arg.compare(0, 2, "--") != 0 || i + 1 >= argc) {
      *error = "unexpected argument: " + arg;
      return false;
    }
    std::string key = arg.substr(2);
    std::string value = argv[++i];
    if (key == "config") continue;
    if (!ApplySetting(config, key, value, error)) return false;
  }
  if (!config->directory.empty()) {
    // The directory names the store; --root is only the fallback.
    if (config->serverObject.empty()) {
      *error = "--directory needs the server's object (--server-object NAME)";
      return false;
    }
  } else if (!config->serverObject.empty() || !config->identity.empty() ||
             !config->passwordFile.empty() || config->watchDirectory) {
    *error = "--server-object, --identity, --password-file and --watch-directory need --directory";
    return false;
  } else if (config->storeRoot.empty()) {
    *error = "no store root given (--root DIR)";
    return false;
  }
  return true;
}

std::vector<std::string> ConfigEntries(const StoreConfig& c) {
  std::vector<std::string> entries = {
      "Store root:" + c.storeRoot,
      "Listen address:" + c.listenAddress,
      "Port:" + std::to_string(c.port),
      "Trusted hosts:" + FormatTrustedList(c.trusted),
      "Quota per user:" + (c.quotaKb ? std::to_string(c.quotaKb) + " KB" : std::string("none")),
      "Maximum clients:" + std::to_string(c.maxClients),
      "Clients per host:" + std::to_string(c.maxPerHost),
      "First command timeout:" + std::to_string(c.firstCommandSeconds) + " s",
      "Idle timeout:" + std::to_string(c.idleSeconds) + " s",
      "Trusted authentication service:" + (c.authservId.empty() ? std::string("topmost result")
                                                                : c.authservId),
      "Request service port:" + (c.requestPort ? std::to_string(c.requestPort) : std::string("none")),
  };
  if (!c.userQuotaKb.empty())
    entries.push_back("Users with quotas of their own:" + std::to_string(c.userQuotaKb.size()));
  if (!c.directory.empty())
    entries.push_back("Directory:" + c.directory + " (" + c.serverObject + ")");
  return entries;
}
