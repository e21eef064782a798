// The server's configuration: one record, filled from the command line and an
// optional file today, and from the directory later (store path, trusted hosts,
// quota, disabled).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TrustedNet {
  uint32_t address;  // host byte order
  uint32_t mask;
};

struct StoreConfig {
  std::string storeRoot;                  // one folder per user beneath it
  std::string listenAddress = "127.0.0.1";
  uint16_t port = 999;                    // the protocol's port; other values for tests only
  std::vector<TrustedNet> trusted;        // empty: loopback only
  uint64_t quotaKb = 0;                   // per user; 0 = no limit
  int maxClients = 64;
  int idleSeconds = 600;                  // a silent client is dropped after this
  int sendTimeoutSeconds = 60;            // a client that stops reading is dropped after this
  bool disabled = false;                  // every client is turned away
  std::string authservId;                 // Authentication-Results id to trust; empty = topmost
  std::string configFile;                 // where the file settings came from, if anywhere
};

// "127.0.0.0/8,10.1.2.3" -> networks. False with a message on the first bad item.
bool ParseTrustedList(const std::string& text, std::vector<TrustedNet>* out, std::string* error);
std::string FormatTrustedList(const std::vector<TrustedNet>& nets);
// Loopback only when no list was configured.
bool IsTrustedAddress(const StoreConfig& config, uint32_t hostOrderAddress);

// Applies one "key = value" setting (file keys and long options share names).
bool ApplySetting(StoreConfig* config, const std::string& key, const std::string& value,
                  std::string* error);
// Reads "key = value" lines; '#' starts a comment.
bool LoadConfigFile(const std::string& path, StoreConfig* config, std::string* error);
// --root DIR --listen ADDR --port N --trusted LIST --quota-kb N --max-clients N
// --idle-seconds N --send-timeout N --authserv-id ID --config FILE. Settings on the
// command line win over the file's.
bool ParseCommandLine(int argc, char** argv, StoreConfig* config, std::string* error,
                      bool* help);
const char* UsageText();

// The entries CONF reports, "Name:value".
std::vector<std::string> ConfigEntries(const StoreConfig& config);
