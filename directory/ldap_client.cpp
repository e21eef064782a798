#include "ldap_client.h"

#ifdef _WIN32
#include <windows.h>
#include <winldap.h>
#include <winber.h>
#else
#include <ldap.h>
#include <sys/time.h>
#endif

#include <cstdlib>

namespace zelm::dir {

// The two libraries differ in names and integer types only; these say how.
#ifdef _WIN32
using Control = LDAPControlA;
using Modification = LDAPModA;
using MessageId = ULONG;
using Wait = l_timeval;
constexpr MessageId kNoMessage = static_cast<ULONG>(-1);
char* DnOf(LDAP* ld, LDAPMessage* e) { return ldap_get_dnA(ld, e); }
char* FirstAttribute(LDAP* ld, LDAPMessage* e, BerElement** ber) {
  return ldap_first_attributeA(ld, e, ber);
}
char* NextAttribute(LDAP* ld, LDAPMessage* e, BerElement* ber) {
  return ldap_next_attributeA(ld, e, ber);
}
berval** ValuesOf(LDAP* ld, LDAPMessage* e, char* a) { return ldap_get_values_lenA(ld, e, a); }
void Free(char* text) { ldap_memfreeA(text); }
#else
using Control = LDAPControl;
using Modification = LDAPMod;
using MessageId = int;
using Wait = timeval;
constexpr MessageId kNoMessage = -1;
char* DnOf(LDAP* ld, LDAPMessage* e) { return ldap_get_dn(ld, e); }
char* FirstAttribute(LDAP* ld, LDAPMessage* e, BerElement** ber) {
  return ldap_first_attribute(ld, e, ber);
}
char* NextAttribute(LDAP* ld, LDAPMessage* e, BerElement* ber) {
  return ldap_next_attribute(ld, e, ber);
}
berval** ValuesOf(LDAP* ld, LDAPMessage* e, char* a) { return ldap_get_values_len(ld, e, a); }
void Free(char* text) { ldap_memfree(text); }
#endif

struct LdapSession::Impl {
  LDAP* ld = nullptr;
};

struct LdapSession::Answer {
  LDAPMessage* message = nullptr;
  ~Answer() {
    if (message) ldap_msgfree(message);
  }
};

namespace {

// The client's own failures: libldap numbers them -1 to -17, the Windows API
// 81 to 97, in the same order.
int Normalized(long code) { return code < 0 ? static_cast<int>(80 - code) : static_cast<int>(code); }

Wait WaitOf(int ms) {
  Wait tv{};
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  return tv;
}

// The code of the last failure the library recorded on ld.
int LastError(LDAP* ld) {
#ifdef _WIN32
  ULONG code = 0;
  if (ld) ldap_get_option(ld, LDAP_OPT_ERROR_NUMBER, &code);
  if (!code) code = LdapGetLastError();
  return code ? Normalized(static_cast<long>(code)) : kLdapServerDown;
#else
  int code = 0;
  if (ld) ldap_get_option(ld, LDAP_OPT_RESULT_CODE, &code);
  return code ? Normalized(code) : kLdapServerDown;
#endif
}

// LDAPMod lists and their values, kept alive until the request is sent.
class Mods {
 public:
  explicit Mods(const std::vector<LdapMod>& mods) {
    mods_.resize(mods.size());
    values_.resize(mods.size());
    pointers_.resize(mods.size());
    for (size_t i = 0; i < mods.size(); ++i) {
      for (const std::string& v : mods[i].values)
        values_[i].push_back({static_cast<decltype(berval::bv_len)>(v.size()),
                              const_cast<char*>(v.data())});
      for (berval& b : values_[i]) pointers_[i].push_back(&b);
      pointers_[i].push_back(nullptr);
      mods_[i].mod_op = static_cast<decltype(mods_[i].mod_op)>(mods[i].op) | LDAP_MOD_BVALUES;
      mods_[i].mod_type = const_cast<char*>(mods[i].type.c_str());
      // Never a null list, not even to delete a whole attribute: Wine's
      // wldap32 reads it without looking. An empty list means the same.
      mods_[i].mod_bvalues = pointers_[i].data();
    }
    for (Modification& m : mods_) list_.push_back(&m);
    list_.push_back(nullptr);
  }
  Modification** get() { return list_.data(); }

 private:
  std::vector<Modification> mods_;
  std::vector<std::vector<berval>> values_;
  std::vector<std::vector<berval*>> pointers_;
  std::vector<Modification*> list_;
};

// Server controls of one request: none, or one critical control, with a
// value or (value null) without one.
class Controls {
 public:
  Controls(const char* oid, const std::string* value) {
    if (!oid) return;
    control_.ldctl_oid = const_cast<char*>(oid);
    if (value) {
      control_.ldctl_value.bv_len = static_cast<decltype(berval::bv_len)>(value->size());
      control_.ldctl_value.bv_val = const_cast<char*>(value->data());
    }
    control_.ldctl_iscritical = 1;
    list_[0] = &control_;
  }
  Control** get() { return list_[0] ? list_ : nullptr; }

 private:
  Control control_{};
  Control* list_[2] = {nullptr, nullptr};
};

constexpr char kAssertionOid[] = "1.3.6.1.1.12";
constexpr char kNoOpOid[] = "1.3.6.1.4.1.4203.666.5.2";
constexpr char kTxnStartOid[] = "1.3.6.1.1.21.1";
constexpr char kTxnSpecOid[] = "1.3.6.1.1.21.2";
constexpr char kTxnEndOid[] = "1.3.6.1.1.21.3";

}  // namespace

std::string BerItem(unsigned char tag, std::string_view contents) {
  std::string out(1, static_cast<char>(tag));
  size_t n = contents.size();
  if (n < 0x80) {
    out += static_cast<char>(n);
  } else {
    std::string bytes;
    for (; n; n >>= 8) bytes.insert(bytes.begin(), static_cast<char>(n & 0xFF));
    out += static_cast<char>(0x80 | bytes.size());
    out += bytes;
  }
  out.append(contents.data(), contents.size());
  return out;
}

// Filter choices (RFC 4511): and [0], equalityMatch [3], present [7].
void LdapAssertion::Present(std::string_view description) { tests_ += BerItem(0x87, description); }

void LdapAssertion::Equals(std::string_view description, std::string_view value) {
  tests_ += BerItem(0xA3, BerItem(0x04, description) + BerItem(0x04, value));
}

std::string LdapAssertion::Ber() const { return BerItem(0xA0, tests_); }

int LdapSession::Open(std::string_view hostUrl, int timeoutMs, std::unique_ptr<LdapSession>* out,
                      std::string* error) {
  std::unique_ptr<LdapSession> s(new LdapSession());
  s->impl_ = new Impl();
  s->timeoutMs_ = timeoutMs;
  const std::string url(hostUrl);
#ifdef _WIN32
  // ldap://HOST:PORT
  std::string host = url.substr(url.find("//") + 2);
  ULONG port = LDAP_PORT;
  if (size_t colon = host.rfind(':'); colon != std::string::npos) {
    port = std::strtoul(host.c_str() + colon + 1, nullptr, 10);
    host.erase(colon);
  }
  s->impl_->ld = ldap_initA(const_cast<char*>(host.c_str()), port);
  if (!s->impl_->ld) {
    *error = "cannot use " + url;
    return kLdapParamError;
  }
  ULONG version = LDAP_VERSION3;
  ldap_set_option(s->impl_->ld, LDAP_OPT_PROTOCOL_VERSION, &version);
  ldap_set_option(s->impl_->ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
  Wait tv = WaitOf(timeoutMs);
  ULONG rc = ldap_connect(s->impl_->ld, &tv);
  if (rc != LDAP_SUCCESS) {
    *error = "connect: " + Text(Normalized(static_cast<long>(rc))) + " (" + url + ")";
    return Normalized(static_cast<long>(rc));
  }
#else
  if (ldap_initialize(&s->impl_->ld, url.c_str()) != LDAP_SUCCESS) {
    *error = "cannot use " + url;
    return kLdapParamError;
  }
  int version = LDAP_VERSION3;
  Wait tv = WaitOf(timeoutMs);
  ldap_set_option(s->impl_->ld, LDAP_OPT_PROTOCOL_VERSION, &version);
  ldap_set_option(s->impl_->ld, LDAP_OPT_NETWORK_TIMEOUT, &tv);
  ldap_set_option(s->impl_->ld, LDAP_OPT_TIMEOUT, &tv);
  ldap_set_option(s->impl_->ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
#endif
  *out = std::move(s);
  return kLdapSuccess;
}

#ifndef _WIN32
ldap* LdapSession::handle() const { return impl_->ld; }
#endif

LdapSession::~LdapSession() {
#ifdef _WIN32
  if (impl_ && impl_->ld) ldap_unbind(impl_->ld);
#else
  if (impl_ && impl_->ld) ldap_unbind_ext_s(impl_->ld, nullptr, nullptr);
#endif
  delete impl_;
}

int LdapSession::Finish(int sent, long msgid, Answer* answer) {
  diagnostic_.clear();
  LDAP* ld = impl_->ld;
  if (sent != 0) return Normalized(sent);
  if (static_cast<MessageId>(msgid) == kNoMessage) return LastError(ld);
  Wait tv = WaitOf(timeoutMs_);
  auto type = ldap_result(ld, static_cast<MessageId>(msgid), LDAP_MSG_ALL, &tv, &answer->message);
  if (type == 0) {
#ifdef _WIN32
    ldap_abandon(ld, static_cast<MessageId>(msgid));
#else
    ldap_abandon_ext(ld, static_cast<MessageId>(msgid), nullptr, nullptr);
#endif
    return kLdapTimeout;
  }
  if (static_cast<MessageId>(type) == kNoMessage || !answer->message) return LastError(ld);
  char* text = nullptr;
#ifdef _WIN32
  ULONG code = 0;
  ULONG parsed = ldap_parse_resultA(ld, answer->message, &code, nullptr, &text, nullptr, nullptr,
                                    FALSE);
#else
  int code = 0;
  int parsed = ldap_parse_result(ld, answer->message, &code, nullptr, &text, nullptr, nullptr, 0);
#endif
  if (text) {
    diagnostic_ = text;
    Free(text);
  }
  if (parsed != LDAP_SUCCESS) return kLdapDecodingError;
  return Normalized(static_cast<long>(code));
}

int LdapSession::Bind(const std::string& dn, const std::string& password) {
  MessageId msgid = kNoMessage;
  Answer answer;
#ifdef _WIN32
  // The simple bind takes the password as text: one holding a NUL cannot be sent.
  if (password.find('\0') != std::string::npos) return kLdapInvalidCredentials;
  msgid = ldap_simple_bindA(impl_->ld, const_cast<char*>(dn.c_str()),
                            const_cast<char*>(password.c_str()));
  return Finish(0, static_cast<long>(msgid), &answer);
#else
  berval cred{password.size(), const_cast<char*>(password.data())};
  int sent = ldap_sasl_bind(impl_->ld, dn.c_str(), LDAP_SASL_SIMPLE, &cred, nullptr, nullptr, &msgid);
  return Finish(sent, msgid, &answer);
#endif
}

int LdapSession::Search(const std::string& base, LdapScope scope, const std::string& filter,
                        const std::vector<std::string>& attrs, int sizeLimit,
                        std::vector<LdapEntry>* out, bool namesOnly) {
  out->clear();
  LDAP* ld = impl_->ld;
  std::vector<char*> names;
  for (const std::string& a : attrs) names.push_back(const_cast<char*>(a.c_str()));
  names.push_back(nullptr);
  char** wanted = attrs.empty() ? nullptr : names.data();
  MessageId msgid = kNoMessage;
#ifdef _WIN32
  ULONG seconds = static_cast<ULONG>((timeoutMs_ + 999) / 1000);
  ULONG sent = ldap_search_extA(ld, const_cast<char*>(base.c_str()), static_cast<ULONG>(scope),
                                const_cast<char*>(filter.c_str()), wanted, namesOnly ? 1 : 0,
                                nullptr, nullptr,
                                seconds, static_cast<ULONG>(sizeLimit), &msgid);
#else
  Wait tv = WaitOf(timeoutMs_);
  int sent = ldap_search_ext(ld, base.c_str(), static_cast<int>(scope), filter.c_str(), wanted,
                             namesOnly ? 1 : 0, nullptr, nullptr, &tv, sizeLimit, &msgid);
#endif
  Answer answer;
  int rc = Finish(static_cast<int>(sent), static_cast<long>(msgid), &answer);
  if (rc != kLdapSuccess && rc != kLdapSizeLimitExceeded) return rc;
  for (LDAPMessage* e = ldap_first_entry(ld, answer.message); e; e = ldap_next_entry(ld, e)) {
    LdapEntry entry;
    BerElement* ber = nullptr;
    if (char* dn = DnOf(ld, e)) {
      entry.dn = dn;
      Free(dn);
    }
    for (char* a = FirstAttribute(ld, e, &ber); a; a = NextAttribute(ld, e, ber)) {
      berval** v = ValuesOf(ld, e, a);
      std::vector<std::string> values;
      for (berval** p = v; p && *p; ++p) values.emplace_back((*p)->bv_val, (*p)->bv_len);
      if (v) ldap_value_free_len(v);
      entry.attrs.emplace_back(a, std::move(values));
      Free(a);
    }
    if (ber) ber_free(ber, 0);
    out->push_back(std::move(entry));
  }
  return rc;
}

int LdapSession::Write(const LdapWrite& write, const char* controlOid,
                       const std::string* controlValue, long* sentId) {
  Controls controls(controlOid, controlValue);
  MessageId msgid = kNoMessage;
  char* dn = const_cast<char*>(write.dn.c_str());
  Mods mods(write.mods);
#ifdef _WIN32
  ULONG sent = write.kind == LdapWrite::kAdd
                   ? ldap_add_extA(impl_->ld, dn, mods.get(), controls.get(), nullptr, &msgid)
               : write.kind == LdapWrite::kModify
                   ? ldap_modify_extA(impl_->ld, dn, mods.get(), controls.get(), nullptr, &msgid)
                   : ldap_delete_extA(impl_->ld, dn, controls.get(), nullptr, &msgid);
#else
  int sent = write.kind == LdapWrite::kAdd
                 ? ldap_add_ext(impl_->ld, dn, mods.get(), controls.get(), nullptr, &msgid)
             : write.kind == LdapWrite::kModify
                 ? ldap_modify_ext(impl_->ld, dn, mods.get(), controls.get(), nullptr, &msgid)
                 : ldap_delete_ext(impl_->ld, dn, controls.get(), nullptr, &msgid);
#endif
  if (sentId) *sentId = static_cast<long>(msgid);
  Answer answer;
  return Finish(static_cast<int>(sent), static_cast<long>(msgid), &answer);
}

int LdapSession::Add(const std::string& dn, const std::vector<LdapMod>& attributes) {
  return Write({LdapWrite::kAdd, dn, attributes}, nullptr, nullptr, nullptr);
}

int LdapSession::Modify(const std::string& dn, const std::vector<LdapMod>& mods,
                        const std::string& assertion) {
  return Write({LdapWrite::kModify, dn, mods}, assertion.empty() ? nullptr : kAssertionOid,
               &assertion, nullptr);
}

int LdapSession::Delete(const std::string& dn) {
  return Write({LdapWrite::kDelete, dn, {}}, nullptr, nullptr, nullptr);
}

int LdapSession::Try(const LdapWrite& write) {
  return Write(write, kNoOpOid, nullptr, nullptr);
}

int LdapSession::Extended(const char* oid, const std::string* value, std::string* answerValue) {
  berval data{};
  if (value) {
    data.bv_len = static_cast<decltype(berval::bv_len)>(value->size());
    data.bv_val = const_cast<char*>(value->data());
  }
  MessageId msgid = kNoMessage;
#ifdef _WIN32
  ULONG sent = ldap_extended_operationA(impl_->ld, const_cast<char*>(oid), value ? &data : nullptr,
                                        nullptr, nullptr, &msgid);
#else
  int sent = ldap_extended_operation(impl_->ld, oid, value ? &data : nullptr, nullptr, nullptr,
                                     &msgid);
#endif
  Answer answer;
  int rc = Finish(static_cast<int>(sent), static_cast<long>(msgid), &answer);
  // A failure may carry a value too (the end of a transaction names the
  // write that failed).
  if (!answerValue || !answer.message) return rc;
  char* returnedOid = nullptr;
  berval* returned = nullptr;
#ifdef _WIN32
  ldap_parse_extended_resultA(impl_->ld, answer.message, &returnedOid, &returned, FALSE);
#else
  ldap_parse_extended_result(impl_->ld, answer.message, &returnedOid, &returned, 0);
#endif
  if (returnedOid) Free(returnedOid);
  if (returned) {
    answerValue->assign(returned->bv_val, returned->bv_len);
    ber_bvfree(returned);
  }
  return rc;
}

namespace {

// The message id an answer to the end of a transaction names (RFC 5805:
// SEQUENCE { messageID INTEGER OPTIONAL, ... }); -1 when it names none.
long FailedMessage(std::string_view ber) {
  auto length = [&](size_t* at, size_t* n) {
    if (*at >= ber.size()) return false;
    unsigned char first = static_cast<unsigned char>(ber[(*at)++]);
    if (first < 0x80) {
      *n = first;
      return true;
    }
    size_t bytes = first & 0x7F;
    if (bytes == 0 || bytes > 4 || *at + bytes > ber.size()) return false;
    for (*n = 0; bytes; --bytes) *n = (*n << 8) | static_cast<unsigned char>(ber[(*at)++]);
    return true;
  };
  size_t at = 0, n = 0;
  if (ber.empty() || static_cast<unsigned char>(ber[at++]) != 0x30 || !length(&at, &n)) return -1;
  if (at >= ber.size() || ber[at++] != 0x02 || !length(&at, &n) || n == 0 || n > 4 ||
      at + n > ber.size())
    return -1;
  long id = 0;
  for (size_t i = 0; i < n; ++i) id = (id << 8) | static_cast<unsigned char>(ber[at + i]);
  return id;
}

}  // namespace

int LdapSession::Transaction(const std::vector<LdapWrite>& writes, size_t* failed) {
  *failed = writes.size();
  std::string txn;
  // The identifier may be empty: slapd keeps one transaction per connection.
  if (int rc = Extended(kTxnStartOid, nullptr, &txn)) return rc;
  // A write taken into the transaction answers success (or the code the
  // protocol's drafts named for it); the server applies it at the end.
  auto taken = [](int rc) { return rc == kLdapSuccess || rc == kLdapTxnSpecifyOkay; };
  std::vector<long> ids;
  int rc = kLdapSuccess;
  for (const LdapWrite& w : writes) {
    long msgid = 0;
    if (!taken(rc = Write(w, kTxnSpecOid, &txn, &msgid))) {
      *failed = ids.size();
      break;
    }
    ids.push_back(msgid);
  }
  // Commit: the server applies the writes in order and stops at the first
  // failure, undoing everything. A write refused while queued abandons the
  // transaction instead.
  const bool commit = taken(rc);
  const std::string keepDiagnostic = diagnostic_;
  std::string end = BerItem(0x30, (commit ? std::string() : BerItem(0x01, std::string(1, '\0'))) +
                                      BerItem(0x04, txn));
  std::string answer;
  int ended = Extended(kTxnEndOid, &end, &answer);
  if (!commit) {
    diagnostic_ = keepDiagnostic;
    return rc;
  }
  if (ended != kLdapSuccess) {
    long id = FailedMessage(answer);
    for (size_t i = 0; i < ids.size(); ++i)
      if (ids[i] == id) *failed = i;
  }
  return ended;
}

std::string LdapSession::Text(int code) {
  static const struct {
    int code;
    const char* text;
  } kTexts[] = {
      {kLdapSuccess, "Success"},
      {kLdapSizeLimitExceeded, "Size limit exceeded"},
      {kLdapReferral, "Referral"},
      {kLdapStrongAuthRequired, "Strong(er) authentication required"},
      {kLdapConfidentialityRequired, "Confidentiality required"},
      {kLdapNoSuchAttribute, "No such attribute"},
      {kLdapUndefinedType, "Undefined attribute type"},
      {kLdapConstraintViolation, "Constraint violation"},
      {kLdapTypeOrValueExists, "Type or value exists"},
      {kLdapInvalidSyntax, "Invalid syntax"},
      {kLdapNoSuchObject, "No such object"},
      {kLdapInvalidDnSyntax, "Invalid DN syntax"},
      {kLdapInappropriateAuth, "Inappropriate authentication"},
      {kLdapInvalidCredentials, "Invalid credentials"},
      {kLdapInsufficientAccess, "Insufficient access"},
      {kLdapBusy, "Server is busy"},
      {kLdapUnavailable, "Server is unavailable"},
      {kLdapUnwillingToPerform, "Server is unwilling to perform"},
      {kLdapNamingViolation, "Naming violation"},
      {kLdapObjectClassViolation, "Object class violation"},
      {kLdapNotAllowedOnNonLeaf, "Operation not allowed on non-leaf"},
      {kLdapNotAllowedOnRdn, "Operation not allowed on RDN"},
      {kLdapAlreadyExists, "Already exists"},
      {kLdapServerDown, "Can't contact LDAP server"},
      {kLdapLocalError, "Local error"},
      {83, "Encoding error"},
      {kLdapDecodingError, "Decoding error (the answer was cut short or broken)"},
      {kLdapTimeout, "Timed out"},
      {86, "Unknown authentication method"},
      {87, "Bad search filter"},
      {kLdapParamError, "Bad parameter to an ldap routine"},
      {90, "Out of memory"},
      {kLdapConnectError, "Connect error"},
      {92, "Not Supported"},
      {kLdapAssertionFailed, "Assertion Failed"},
      {kLdapNoOperation, "No Operation"},
  };
  for (const auto& t : kTexts)
    if (t.code == code) return t.text;
  return "LDAP error " + std::to_string(code);
}

}  // namespace zelm::dir
