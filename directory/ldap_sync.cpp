#include "ldap_sync.h"

#include <ldap.h>
#include <poll.h>

#include <algorithm>

namespace zelm::dir {

// libldap's callbacks, with access to the follower they report to.
struct LdapFollowerCalls {
  static LdapFollower* Of(ldap_sync_t* ls) { return static_cast<LdapFollower*>(ls->ls_private); }

  static int Entry(ldap_sync_t* ls, LDAPMessage* msg, struct berval* uuid,
                   ldap_sync_refresh_t phase) {
    LdapFollower* f = Of(ls);
    LdapFollower::Event e{phase == LDAP_SYNC_CAPI_DELETE ? LdapFollower::Event::kGone
                                                         : LdapFollower::Event::kEntry,
                          uuid ? std::string(uuid->bv_val, uuid->bv_len) : std::string(),
                          std::string(),
                          {}};
    LDAP* ld = ls->ls_ld;
    if (char* dn = ldap_get_dn(ld, msg)) {
      e.dn = dn;
      ldap_memfree(dn);
    }
    // A present entry during the refresh carries only its name: it is
    // unchanged since the cookie, which a follower started from now never
    // sends, and one started from the beginning never has.
    if (phase == LDAP_SYNC_CAPI_ADD || phase == LDAP_SYNC_CAPI_MODIFY ||
        phase == LDAP_SYNC_CAPI_PRESENT) {
      BerElement* ber = nullptr;
      for (char* a = ldap_first_attribute(ld, msg, &ber); a; a = ldap_next_attribute(ld, msg, ber)) {
        std::vector<std::string> values;
        if (berval** v = ldap_get_values_len(ld, msg, a)) {
          for (berval** p = v; *p; ++p) values.emplace_back((*p)->bv_val, (*p)->bv_len);
          ldap_value_free_len(v);
        }
        e.attrs.emplace_back(a, std::move(values));
        ldap_memfree(a);
      }
      if (ber) ber_free(ber, 0);
    }
    if (f->sink_) f->sink_->push_back(std::move(e));
    f->TakeCookie();
    return LDAP_SUCCESS;
  }

  static int Intermediate(ldap_sync_t* ls, LDAPMessage*, BerVarray uuids,
                          ldap_sync_refresh_t phase) {
    LdapFollower* f = Of(ls);
    if (phase == LDAP_SYNC_CAPI_DONE) {
      if (f->sink_) f->sink_->push_back({LdapFollower::Event::kRefreshed, {}, {}, {}});
    } else if (phase == LDAP_SYNC_CAPI_DELETES_IDSET && uuids && f->sink_) {
      for (BerVarray u = uuids; u->bv_val; ++u)
        f->sink_->push_back({LdapFollower::Event::kGone, std::string(u->bv_val, u->bv_len), {}, {}});
    }
    f->TakeCookie();
    return LDAP_SUCCESS;
  }

  static int Result(ldap_sync_t* ls, LDAPMessage* msg, int) {
    LdapFollower* f = Of(ls);
    int code = LDAP_OTHER;
    char* text = nullptr;
    ldap_parse_result(ls->ls_ld, msg, &code, nullptr, &text, nullptr, nullptr, 0);
    f->lastError_ = std::string("content synchronisation ended by the server: ") +
                    ldap_err2string(code) + (text && *text ? std::string(" (") + text + ")" : "");
    if (text) ldap_memfree(text);
    f->ended_ = true;
    return LDAP_SUCCESS;
  }
};

namespace {

// The newest of several change sequence numbers ("a;b").
std::string Newest(std::string_view list) {
  std::string best;
  while (!list.empty()) {
    std::string_view one = list.substr(0, list.find(';'));
    if (one > best) best = std::string(one);
    list.remove_prefix(std::min(list.size(), one.size() + 1));
  }
  return best;
}

}  // namespace

int LdapFollower::Start(std::unique_ptr<LdapDirectory> directory, const std::string& filter,
                        const std::vector<std::string>& attrs, bool fromNow,
                        std::unique_ptr<LdapFollower>* out, std::string* error) {
  std::unique_ptr<LdapFollower> f(new LdapFollower());
  f->d_ = std::move(directory);
  std::string cookie;
  if (fromNow) {
    if (int r = f->d_->ServerCsn(&f->csn_)) {
      *error = "cannot read where the directory stands: " + f->d_->lastError();
      return r;
    }
    if (!f->csn_.empty()) cookie = "rid=000,csn=" + f->csn_;
  }
  ldap_sync_t* ls = ldap_sync_initialize(nullptr);
  if (!ls) {
    *error = "out of memory";
    return kErrSystemFailure;
  }
  f->ls_ = ls;
  ls->ls_ld = f->d_->session_->handle();
  ls->ls_base = ldap_strdup(f->d_->base_.c_str());
  ls->ls_scope = LDAP_SCOPE_SUBTREE;
  ls->ls_filter = ldap_strdup(filter.c_str());
  ls->ls_attrs = static_cast<char**>(ber_memcalloc(attrs.size() + 1, sizeof(char*)));
  for (size_t i = 0; i < attrs.size(); ++i) ls->ls_attrs[i] = ldap_strdup(attrs[i].c_str());
  ls->ls_timelimit = 0;
  ls->ls_sizelimit = 0;
  ls->ls_timeout = 0;  // each poll only takes what has arrived; Poll waits itself
  ls->ls_search_entry = LdapFollowerCalls::Entry;
  ls->ls_intermediate = LdapFollowerCalls::Intermediate;
  ls->ls_search_result = LdapFollowerCalls::Result;
  ls->ls_private = f.get();
  if (!cookie.empty()) ber_str2bv(cookie.c_str(), cookie.size(), 1, &ls->ls_cookie);
  // The refresh runs inside the start; what it reports waits for Poll.
  f->sink_ = &f->pending_;
  int rc = ldap_sync_init(ls, LDAP_SYNC_REFRESH_AND_PERSIST);
  f->sink_ = nullptr;
  if (rc != LDAP_SUCCESS) {
    int r = f->d_->Fail(rc, "content synchronisation");
    *error = f->d_->lastError();
    return r;
  }
  *out = std::move(f);
  return kOk;
}

LdapFollower::~LdapFollower() {
  if (!ls_) return;
  // The connection belongs to the directory, which closes it.
  ls_->ls_ld = nullptr;
  ldap_sync_destroy(ls_, 1);
}

void LdapFollower::TakeCookie() {
  std::string_view c(ls_->ls_cookie.bv_val ? ls_->ls_cookie.bv_val : "", ls_->ls_cookie.bv_len);
  size_t at = c.find("csn=");
  if (at == std::string_view::npos) return;
  std::string csn = Newest(c.substr(at + 4, c.find(',', at) - at - 4));
  if (csn > csn_) csn_ = csn;
}

int LdapFollower::Poll(int waitMs, std::vector<Event>* out) {
  const size_t before = out->size();
  for (Event& e : pending_) out->push_back(std::move(e));
  pending_.clear();
  if (ended_) return out->size() > before ? kOk : kErrSystemFailure;
  sink_ = out;
  auto once = [&]() -> bool {
    int rc = ldap_sync_poll(ls_);
    if (rc == LDAP_SUCCESS && !ended_) return true;
    if (!ended_) {
      int code = rc;
      ldap_get_option(d_->session_->handle(), LDAP_OPT_RESULT_CODE, &code);
      lastError_ = std::string("content synchronisation: ") + ldap_err2string(code ? code : rc);
      ended_ = true;
    }
    return false;
  };
  bool alive = once();
  if (alive && out->size() == before && waitMs > 0) {
    int fd = -1;
    ldap_get_option(d_->session_->handle(), LDAP_OPT_DESC, &fd);
    pollfd p{fd, POLLIN, 0};
    if (fd >= 0) poll(&p, 1, waitMs);
    alive = once();
  }
  sink_ = nullptr;
  return alive ? kOk : kErrSystemFailure;
}

}  // namespace zelm::dir
