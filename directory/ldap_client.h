// One connection to an LDAP server through the platform's LDAP library:
// libldap natively, the Windows LDAP API (wldap32) on Windows. It offers what
// the directory's LDAP backend needs (a simple bind, searches, adds, modifies
// and deletes with server controls, transactions) with every wait bounded:
// each request is sent and its answer awaited for at most the session's
// wait, then abandoned. A synchronous call would wait for ever on a server
// that accepts and never answers.
//
// Results are LDAP result codes as the protocol numbers them; failures of
// the client itself (no server, no answer in time, a broken answer) come as
// the C API's numbers 81 to 97 on both platforms.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct ldap;

namespace zelm::dir {

enum : int {
  kLdapSuccess = 0,
  kLdapSizeLimitExceeded = 4,
  kLdapStrongAuthRequired = 8,
  kLdapReferral = 10,
  kLdapConfidentialityRequired = 13,
  kLdapNoSuchAttribute = 16,
  kLdapUndefinedType = 17,
  kLdapConstraintViolation = 19,
  kLdapTypeOrValueExists = 20,
  kLdapInvalidSyntax = 21,
  kLdapNoSuchObject = 32,
  kLdapInvalidDnSyntax = 34,
  kLdapInappropriateAuth = 48,
  kLdapInvalidCredentials = 49,
  kLdapInsufficientAccess = 50,
  kLdapBusy = 51,
  kLdapUnavailable = 52,
  kLdapUnwillingToPerform = 53,
  kLdapNamingViolation = 64,
  kLdapObjectClassViolation = 65,
  kLdapNotAllowedOnNonLeaf = 66,
  kLdapNotAllowedOnRdn = 67,
  kLdapAlreadyExists = 68,
  kLdapServerDown = 81,
  kLdapLocalError = 82,
  kLdapDecodingError = 84,
  kLdapTimeout = 85,
  kLdapParamError = 89,
  kLdapConnectError = 91,
  kLdapAssertionFailed = 122,
  kLdapNoOperation = 0x410E,     // a write the No-Op control kept from happening
  kLdapTxnSpecifyOkay = 0x4120,  // a write taken into a transaction
};

enum class LdapScope { kBase = 0, kOneLevel = 1, kSubtree = 2 };

struct LdapEntry {
  std::string dn;
  std::vector<std::pair<std::string, std::vector<std::string>>> attrs;  // description, values
};

struct LdapMod {
  enum Op { kAdd = 0, kDelete = 1, kReplace = 2 };
  Op op;
  std::string type;
  std::vector<std::string> values;  // none: the whole attribute (delete)
};

// The filter of an assertion control, built as BER: every test must hold.
class LdapAssertion {
 public:
  void Present(std::string_view description);
  void Equals(std::string_view description, std::string_view value);
  bool empty() const { return tests_.empty(); }
  std::string Ber() const;  // an "and" of the tests

 private:
  std::string tests_;
};

// BER: a tag, a definite length and the contents.
std::string BerItem(unsigned char tag, std::string_view contents);

// One write, tried (LdapSession::Try) or part of a transaction.
struct LdapWrite {
  enum Kind { kAdd, kModify, kDelete } kind;
  std::string dn;
  std::vector<LdapMod> mods;  // kAdd: the attributes; kModify: the changes
};

class LdapSession {
 public:
  // hostUrl is "ldap://HOST:PORT". Each later wait lasts at most timeoutMs.
  static int Open(std::string_view hostUrl, int timeoutMs, std::unique_ptr<LdapSession>* out,
                  std::string* error);
  ~LdapSession();
  LdapSession(const LdapSession&) = delete;
  LdapSession& operator=(const LdapSession&) = delete;

  int Bind(const std::string& dn, const std::string& password);
  // Entries found, also when the size limit cut the answer short
  // (kLdapSizeLimitExceeded). attrs empty: every user attribute; namesOnly:
  // the attributes without their values.
  int Search(const std::string& base, LdapScope scope, const std::string& filter,
             const std::vector<std::string>& attrs, int sizeLimit, std::vector<LdapEntry>* out,
             bool namesOnly = false);
  int Add(const std::string& dn, const std::vector<LdapMod>& attributes);
  // assertion: LdapAssertion::Ber(), or empty for none.
  int Modify(const std::string& dn, const std::vector<LdapMod>& mods,
             const std::string& assertion = std::string());
  int Delete(const std::string& dn);
  // Whether the server would carry out the write, asked without changing
  // anything (the No-Op control): it checks rights, schema and existence,
  // then answers kLdapNoOperation instead of writing.
  int Try(const LdapWrite& write);
  // The writes in one transaction: the server checks and applies them in
  // order when it ends, all or none. kLdapSuccess when all were applied;
  // else the code of the write that failed, whose index goes to *failed
  // (writes.size() when the server does not say), and nothing was written.
  // slapd 2.5.13 is harmed by each transaction that fails when it ends (it
  // aborts after some tens of them): callers check what they can first.
  int Transaction(const std::vector<LdapWrite>& writes, size_t* failed);

  // What the last failed request's answer said beyond its code ("" if nothing).
  const std::string& diagnostic() const { return diagnostic_; }
  // A code's text, the same on every platform.
  static std::string Text(int code);
#ifndef _WIN32
  // The library's own handle, for native-only extensions (ldap_sync.h).
  ldap* handle() const;
#endif

 private:
  LdapSession() = default;
  struct Impl;
  struct Answer;
  // Awaits the answer to request msgid (or its failure to start, sent != 0).
  int Finish(int sent, long msgid, Answer* answer);
  // Sends one write with a control (none when controlOid is null) and
  // awaits its answer; *msgid (when asked) is the request's message id.
  int Write(const LdapWrite& write, const char* controlOid, const std::string* controlValue,
            long* msgid);
  int Extended(const char* oid, const std::string* value, std::string* answer);

  Impl* impl_ = nullptr;
  int timeoutMs_ = 10000;
  std::string diagnostic_;
};

}  // namespace zelm::dir
