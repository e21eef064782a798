// The server's configuration: one record, filled from the command line and an
// optional file, and with --directory from the directory (store path, trusted
// hosts, quota, disabled) each time the server takes its configuration there.
#pragma once

#include <cstdint>
#include <map>
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
  int maxPerHost = 16;                    // clients one address may have at once, each service
  int firstCommandSeconds = 5;            // a client silent this long after connecting is dropped
  int idleSeconds = 600;                  // a client silent this long between commands is dropped
  int sendTimeoutSeconds = 60;            // a client that stops reading is dropped after this
  bool disabled = false;                  // every client is turned away
  std::string authservId;                 // Authentication-Results id to trust; empty = topmost
  std::string configFile;                 // where the file settings came from, if anywhere

  uint16_t requestPort = 998;             // the request service, same address; 0 = none
  std::string directory;                  // take the configuration from this directory (file or address)
  std::string passwordFile;               // over LDAP: the identity's password, in a file only root reads
  std::string serverObject;               // this server's "HVX Server" object there
  std::string identity;                   // who the server acts as there; "" = local system caller
  bool watchDirectory = false;            // take every change, not only those notified
  bool listenGiven = false;               // --listen given: the directory's address does not apply
  std::string mailSystem;                 // "a.b.c.d:port" of the mail system beside it; "" none
  // Per-user limits from the directory, by user name folded to lower case;
  // users not listed get quotaKb.
  std::map<std::string, uint64_t> userQuotaKb;
};

// "127.0.0.0/8,10.1.2.3" -> networks. False with a message on the first bad item.
bool ParseTrustedList(const std::string& text, std::vector<TrustedNet>* out, std::string* error);
std::string FormatTrustedList(const std::vector<TrustedNet>& nets);
// Loopback only when no list was configured.
bool IsTrustedAddress(const StoreConfig& config, uint32_t hostOrderAddress);
// The limit SPACE reports for a user (0 = none).
uint64_t QuotaFor(const StoreConfig& config, const std::string& user);

// Applies one "key = value" setting (file keys and long options share names).
bool ApplySetting(StoreConfig* config, const std::string& key, const std::string& value,
                  std::string* error);
// Reads "key = value" lines; '#' starts a comment.
bool LoadConfigFile(const std::string& path, StoreConfig* config, std::string* error);
// --root DIR --listen ADDR --port N --trusted LIST --quota-kb N --max-clients N
// --max-per-host N --first-command-seconds N --idle-seconds N --send-timeout N --authserv-id ID --disabled 0|1 --request-port N
// --directory FILE|ADDRESS --server-object NAME --identity NAME --password-file FILE
// --watch-directory 0|1 --mail-system ADDR:PORT --config FILE. Settings on the command line win
// over the file's. Without --directory a store root is required; with it, --server-object is.
bool ParseCommandLine(int argc, char** argv, StoreConfig* config, std::string* error,
                      bool* help);
const char* UsageText();

// The entries CONF reports, "Name:value".
std::vector<std::string> ConfigEntries(const StoreConfig& config);
