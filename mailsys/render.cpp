#include "render.h"

#include <crypt.h>

#include <algorithm>
#include <cstring>

#include "mail_values.h"

namespace zelm::mail {

const char kPostfixDir[] = "postfix";
const char kDovecotDir[] = "dovecot";
const char kSieveDir[] = "sieve";
const char kSpoolDir[] = "spool";
const char kDataDir[] = "data";
const char kRunDir[] = "run";
const char kLogDir[] = "log";
const char kHomeDir[] = "home";
const char kIndexDir[] = "index";

namespace {

constexpr char kHeader[] =
    "# Written by zelmmailsys from the directory; it replaces changes made here.\n";

std::string Joined(const std::vector<std::string>& items, const char* sep) {
  std::string out;
  for (const std::string& i : items) out += (out.empty() ? "" : sep) + i;
  return out;
}

uint64_t Fnv(const std::string& text, uint64_t h = 1469598103934665603ull) {
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return h;
}

// Postfix's queue folders, as its start-up check creates them.
const char kPostfixFiles[] =
    "$queue_directory:d:root:-:755:u\n"
    "$queue_directory/active:d:$mail_owner:-:700:ucr\n"
    "$queue_directory/bounce:d:$mail_owner:-:700:ucr\n"
    "$queue_directory/corrupt:d:$mail_owner:-:700:ucr\n"
    "$queue_directory/defer:d:$mail_owner:-:700:ucr\n"
    "$queue_directory/deferred:d:$mail_owner:-:700:ucr\n"
    "$queue_directory/flush:d:$mail_owner:-:700:ucr\n"
    "$queue_directory/hold:d:$mail_owner:-:700:ucr\n"
    "$queue_directory/incoming:d:$mail_owner:-:700:ucr\n"
    "$queue_directory/private:d:$mail_owner:-:700:uc\n"
    "$queue_directory/maildrop:d:$mail_owner:$setgid_group:730:uc\n"
    "$queue_directory/public:d:$mail_owner:$setgid_group:710:uc\n"
    "$queue_directory/pid:d:root:-:755:uc\n"
    "$queue_directory/saved:d:$mail_owner:-:700:ucr\n"
    "$queue_directory/trace:d:$mail_owner:-:700:ucr\n"
    "$data_directory:d:$mail_owner:-:700:uc\n";

// Every service but the SMTP listener; none runs in a chroot.
const char kMasterServices[] =
    "pickup    unix  n       -       n       60      1       pickup\n"
    "cleanup   unix  n       -       n       -       0       cleanup\n"
    "qmgr      unix  n       -       n       300     1       qmgr\n"
    "tlsmgr    unix  -       -       n       1000?   1       tlsmgr\n"
    "rewrite   unix  -       -       n       -       -       trivial-rewrite\n"
    "bounce    unix  -       -       n       -       0       bounce\n"
    "defer     unix  -       -       n       -       0       bounce\n"
    "trace     unix  -       -       n       -       0       bounce\n"
    "verify    unix  -       -       n       -       1       verify\n"
    "flush     unix  n       -       n       1000?   0       flush\n"
    "proxymap  unix  -       -       n       -       -       proxymap\n"
    "proxywrite unix -       -       n       -       1       proxymap\n"
    "smtp      unix  -       -       n       -       -       smtp\n"
    "relay     unix  -       -       n       -       -       smtp\n"
    "showq     unix  n       -       n       -       -       showq\n"
    "error     unix  -       -       n       -       -       error\n"
    "retry     unix  -       -       n       -       -       error\n"
    "discard   unix  -       -       n       -       -       discard\n"
    "lmtp      unix  -       -       n       -       -       lmtp\n"
    "anvil     unix  -       -       n       -       1       anvil\n"
    "scache    unix  -       -       n       -       1       scache\n"
    "postlog   unix-dgram n  -       n       -       1       postlogd\n";

class Writer {
 public:
  Writer(const MailSettings& m, const Site& s) : m_(m), s_(s) {}

  std::vector<RenderedFile> Run() {
    Add(std::string(kPostfixDir) + "/postfix-files", kPostfixFiles);
    Add(std::string(kPostfixDir) + "/master.cf", MasterCf());
    Add(std::string(kPostfixDir) + "/main.cf", MainCf());
    Tables();
    Add(std::string(kDovecotDir) + "/dovecot.conf", DovecotConf());
    UserFiles();
    return std::move(files_);
  }

 private:
  std::string Path(const char* dir, const std::string& name = "") const {
    return s_.folder + "/" + dir + (name.empty() ? "" : "/" + name);
  }
  void Add(const std::string& path, const std::string& content, Owner owner = Owner::kRoot,
           unsigned mode = 0644) {
    files_.push_back({path, content, owner, mode});
  }
  bool SmtpServed() const { return m_.smtp && !m_.serverDisabled && m_.unavailable.empty(); }
  bool Quotas() const {
    if (m_.quotaKb) return true;
    for (const MailUser& u : m_.users)
      if (u.quotaKb) return true;
    return false;
  }

  std::string MasterCf() const {
    std::string out = kHeader;
    if (SmtpServed())
      out += s_.listen + ":" + std::to_string(s_.smtpPort) +
             " inet n       -       n       -       -       smtpd\n";
    return out + kMasterServices;
  }

  std::string MainCf() const {
    const std::string primary = m_.domains.empty() ? "localhost" : m_.domains[0];
    std::vector<std::string> lines = {
        "compatibility_level = 3.6",
        "queue_directory = " + Path(kSpoolDir),
        "data_directory = " + Path(kDataDir),
        "meta_directory = " + Path(kPostfixDir),
        "daemon_directory = /usr/lib/postfix/sbin",
        "command_directory = /usr/sbin",
        "shlib_directory = /usr/lib/postfix",
        "mail_owner = " + s_.postfixUser,
        "setgid_group = " + s_.postfixGroup,
        "maillog_file = " + Path(kLogDir, "postfix.log"),
        "maillog_file_prefixes = " + Path(kLogDir),
        // The SMTP listener's own address is in master.cf; Postfix takes only
        // addresses configured on an interface here, which 127/8's others are not.
        "inet_interfaces = loopback-only",
        "inet_protocols = ipv4",
        "myhostname = " + primary,
        "myorigin = $myhostname",
        "mydestination =",
        "local_transport = error:5.1.1 no local delivery here",
        "alias_maps =",
        "alias_database =",
        "biff = no",
        "append_dot_mydomain = no",
        "smtpd_banner = $myhostname ESMTP",
    };
    // Who may send mail on to other servers: never everybody.
    std::vector<std::string> nets = {"127.0.0.0/8"};
    if (!(m_.ube & 0x08))
      for (const std::string& n : (m_.ube & 0x01) ? m_.allowed : m_.trusted)
        if (std::find(nets.begin(), nets.end(), n) == nets.end()) nets.push_back(n);
    lines.push_back("mynetworks = " + Joined(nets, " "));
    lines.push_back("relayhost = " + m_.relayHost);
    lines.push_back("message_size_limit = " + std::to_string(m_.messageLimit));
    lines.push_back("mailbox_size_limit = 0");
    lines.push_back("virtual_mailbox_limit = 0");
    lines.push_back(std::string("disable_vrfy_command = ") + (m_.vrfy ? "no" : "yes"));
    lines.push_back(std::string("smtpd_etrn_restrictions =") + (m_.acceptEtrn ? "" : " reject"));
    if (m_.recipientLimit)
      lines.push_back("smtpd_recipient_limit = " + std::to_string(m_.recipientLimit));
    std::string days = std::to_string(m_.queueDays) + "d";
    std::string minutes = std::to_string(m_.queueMinutes) + "m";
    lines.push_back("maximal_queue_lifetime = " + days);
    lines.push_back("bounce_queue_lifetime = " + days);
    lines.push_back("queue_run_delay = " + minutes);
    lines.push_back("minimal_backoff_time = " + minutes);
    lines.push_back("maximal_backoff_time = " + std::to_string(std::max<uint32_t>(m_.queueMinutes, 67)) + "m");
    lines.push_back("queue_minfree = " + std::to_string(m_.minimumFreeKb * 1024));

    std::vector<std::string> accepted = m_.domains;
    accepted.insert(accepted.end(), m_.hostedDomains.begin(), m_.hostedDomains.end());
    lines.push_back("virtual_mailbox_domains = " + Joined(accepted, " "));
    lines.push_back("virtual_mailbox_maps = texthash:" + Path(kPostfixDir, "mailboxes"));
    lines.push_back("virtual_alias_maps = texthash:" + Path(kPostfixDir, "aliases"));
    lines.push_back("sender_canonical_maps = texthash:" + Path(kPostfixDir, "senders"));
    lines.push_back("virtual_transport = lmtp:unix:private/dovecot-lmtp");
    std::vector<std::string> held;
    if (m_.storeDisabled) held.push_back("lmtp");  // the store is off: mail waits
    if (RemoteQueueHeld(m_, s_.weekday, s_.hour)) {
      held.push_back("smtp");
      held.push_back("relay");
    }
    lines.push_back("defer_transports = " + Joined(held, " "));

    std::vector<std::string> client;
    if ((m_.ube & 0x02) && !m_.blockedHosts.empty())
      client.push_back("check_client_access cidr:" + Path(kPostfixDir, "blocked-hosts"));
    if ((m_.ube & 0x04) || !m_.rblHost.empty()) client.push_back("permit_mynetworks");
    if (m_.ube & 0x04) client.push_back("reject_unknown_reverse_client_hostname");
    if (!m_.rblHost.empty()) client.push_back("reject_rbl_client " + m_.rblHost);
    lines.push_back("smtpd_client_restrictions = " + Joined(client, ", "));
    lines.push_back("smtpd_sender_restrictions = check_sender_access texthash:" +
                    Path(kPostfixDir, "blocked-senders"));
    lines.push_back("smtpd_relay_restrictions = permit_mynetworks, permit_sasl_authenticated, "
                    "reject_unauth_destination");
    std::string recipient =
        "smtpd_recipient_restrictions = check_recipient_access texthash:" +
        Path(kPostfixDir, "disabled");
    if (Quotas()) recipient += ", check_policy_service unix:private/quota-status";
    lines.push_back(recipient);
    lines.push_back(std::string("smtpd_reject_unlisted_recipient = ") +
                    (m_.verifyRecipients ? "yes" : "no"));
    lines.push_back("smtpd_sasl_auth_enable = yes");
    lines.push_back("smtpd_sasl_type = dovecot");
    lines.push_back("smtpd_sasl_path = private/dovecot-auth");
    return kHeader + Joined(lines, "\n") + "\n";
  }

  void Tables() {
    std::string mailboxes, aliases, senders, disabled, blocked, hosts;
    for (const MailUser& u : m_.users) {
      if (u.disabled) {
        for (const std::string& a : u.addresses)
          disabled += a + " REJECT 5.2.1 messaging is disabled for this user\n";
        continue;
      }
      mailboxes += u.canonical + " " + u.name + "\n";
      for (const std::string& a : u.addresses) {
        aliases += a + " " + u.canonical + "\n";
        if (!u.official.empty() && a != u.official) senders += a + " " + u.official + "\n";
      }
    }
    for (const auto& [address, targets] : m_.aliases)
      aliases += address + " " + Joined(targets, ", ") + "\n";
    // Mail for nobody here goes to the address for undeliverable mail.
    if (!m_.undeliverableTo.empty())
      for (const std::string& d : m_.domains) aliases += "@" + d + " " + m_.undeliverableTo + "\n";
    std::string action = "DISCARD blocked sender";
    if (m_.spamAction & 1) {
      action = "REJECT 5.7.1 mail from this sender is refused here";
    } else if ((m_.spamAction & 2) && !m_.postmaster.empty()) {
      action = "REDIRECT " + m_.postmaster;
    }
    for (const std::string& key : m_.blockedSenders) blocked += key + " " + action + "\n";
    for (const std::string& block : m_.blockedHosts)
      hosts += block + " REJECT 5.7.1 access from this host is blocked\n";
    Add(std::string(kPostfixDir) + "/mailboxes", mailboxes);
    Add(std::string(kPostfixDir) + "/aliases", aliases);
    Add(std::string(kPostfixDir) + "/senders", senders);
    Add(std::string(kPostfixDir) + "/disabled", disabled);
    Add(std::string(kPostfixDir) + "/blocked-senders", blocked);
    Add(std::string(kPostfixDir) + "/blocked-hosts", hosts);
  }

  static std::string ConfString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
      if (c == '"' || c == '\\') out.push_back('\\');
      out += c == '%' ? std::string("%%") : std::string(1, c);
    }
    return out + "\"";
  }

  std::string DovecotConf() const {
    bool served = m_.unavailable.empty() && !m_.serverDisabled && !m_.storeDisabled;
    std::string protocols = "lmtp";
    if (served && m_.imap) protocols += " imap";
    if (served && m_.pop) protocols += " pop3";
    std::string spool = Path(kSpoolDir, "private");
    std::string out = kHeader;
    out += "base_dir = " + Path(kRunDir, "dovecot") + "\n" +
           "state_dir = " + Path(kRunDir, "dovecot-state") + "\n" +
           "instance_name = zelmmail\n" +
           "log_path = " + Path(kLogDir, "dovecot.log") + "\n" +
           "protocols = " + protocols + "\n" +
           "listen = " + s_.listen + "\n" +
           "ssl = no\n"
           "disable_plaintext_auth = no\n"
           "auth_mechanisms = plain login\n"
           "auth_username_format = %Ln\n" +
           "default_internal_user = " + s_.internalUser + "\n" +
           "default_login_user = " + s_.loginUser + "\n" +
           "first_valid_uid = " + std::to_string(s_.mailUid) + "\n" +
           "last_valid_uid = " + std::to_string(s_.mailUid) + "\n" +
           "mail_uid = " + std::to_string(s_.mailUid) + "\n" +
           "mail_gid = " + std::to_string(s_.mailGid) + "\n" +
           "mail_plugins = quota\n" +
           "submission_host = " + s_.listen + ":" + std::to_string(s_.smtpPort) + "\n" +
           "passdb {\n  driver = passwd-file\n  args = scheme=SHA512-CRYPT " +
           Path(kDovecotDir, "passdb") + "\n}\n" +
           "userdb {\n  driver = passwd-file\n  args = " + Path(kDovecotDir, "userdb") + "\n}\n" +
           "service imap-login {\n  inet_listener imap {\n    address = " + s_.listen +
           "\n    port = " + std::to_string(s_.imapPort) +
           "\n  }\n  inet_listener imaps {\n    port = 0\n  }\n}\n" +
           "service pop3-login {\n  inet_listener pop3 {\n    address = " + s_.listen +
           "\n    port = " + std::to_string(s_.popPort) +
           "\n  }\n  inet_listener pop3s {\n    port = 0\n  }\n}\n" +
           "service lmtp {\n  unix_listener " + spool + "/dovecot-lmtp {\n    user = " +
           s_.postfixUser + "\n    mode = 0600\n  }\n}\n" +
           "service auth {\n  unix_listener " + spool + "/dovecot-auth {\n    user = " +
           s_.postfixUser + "\n    mode = 0600\n  }\n}\n" +
           "service quota-status {\n  executable = quota-status -p postfix\n  unix_listener " +
           spool + "/quota-status {\n    user = " + s_.postfixUser +
           "\n    mode = 0600\n  }\n  client_limit = 1\n}\n" +
           "protocol lmtp {\n  mail_plugins = $mail_plugins sieve\n}\n" +
           "plugin {\n  quota = count:User quota\n  quota_vsizes = yes\n";
    if (m_.quotaKb) out += "  quota_rule = *:storage=" + std::to_string(m_.quotaKb) + "K\n";
    out += "  quota_exceeded_message = " + ConfString(m_.quotaMessage) + "\n" +
           "  quota_status_success = DUNNO\n  quota_status_nouser = DUNNO\n" +
           "  quota_status_overquota = " + ConfString("552 5.2.2 " + m_.quotaMessage) + "\n" +
           "  sieve_vacation_send_from_recipient = no\n}\n";
    return out;
  }

  std::string Sieve(const MailUser& u) const {
    std::string out = "# " + u.object + "\nrequire [\"vacation\"];\n";
    if (u.vacation) {
      std::vector<std::string> quoted;
      for (const std::string& a : u.addresses) quoted.push_back(SieveString(a));
      if (!u.official.empty() &&
          std::find(u.addresses.begin(), u.addresses.end(), u.official) == u.addresses.end())
        quoted.push_back(SieveString(u.official));
      out += "vacation :days 1 :addresses [" + Joined(quoted, ", ") + "] " + SieveString(u.reply) +
             ";\n";
    }
    if (u.forwarding) {
      out += "redirect " + SieveString(u.forwardTo) + ";\n";
      if (u.forwarding == 2) out += "keep;\n";
    }
    return out;
  }

  void UserFiles() {
    std::string passdb, userdb;
    for (const MailUser& u : m_.users) {
      if (u.disabled || m_.storeRoot.empty()) continue;
      if (!u.password.empty())
        passdb += u.name + ":" + PasswordHash(u.password, s_.saltKey, u.name) + "\n";
      std::string index = Path(kIndexDir, u.name);
      userdb += u.name + ":::::" + Path(kHomeDir, u.name) + "::userdb_mail=maildir:" +
                m_.storeRoot + "/" + u.folder + ":INDEX=" + index + ":CONTROL=" + index;
      uint64_t quota = u.quotaKb ? u.quotaKb : m_.quotaKb;
      if (quota) userdb += " userdb_quota_rule=*:storage=" + std::to_string(quota) + "K";
      if (u.vacation || u.forwarding) {
        std::string script = std::string(kSieveDir) + "/" + u.name + ".sieve";
        userdb += " userdb_sieve=" + s_.folder + "/" + script;
        Add(script, Sieve(u), Owner::kMail);
      }
      userdb += "\n";
    }
    Add(std::string(kDovecotDir) + "/passdb", passdb, Owner::kInternal, 0600);
    Add(std::string(kDovecotDir) + "/userdb", userdb);
  }

  const MailSettings& m_;
  const Site& s_;
  std::vector<RenderedFile> files_;
};

}  // namespace

bool RemoteQueueHeld(const MailSettings& m, int weekday, int hour) {
  if (!m.limitRemote) return false;
  bool weekend = weekday == 0 || weekday == 6;
  int from = m.remoteHours[weekend ? 2 : 0], to = m.remoteHours[weekend ? 3 : 1];
  if (from == to) return false;
  return from < to ? hour >= from && hour < to : hour >= from || hour < to;
}

std::string PasswordHash(const std::string& stored, const std::string& saltKey,
                         const std::string& user) {
  if (stored.size() > 2 && stored[0] == '{' && stored.find('}') != std::string::npos)
    return stored;
  static const char kSaltChars[] =
      "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  uint64_t h = Fnv(user, Fnv(saltKey));
  std::string setting = "$6$";
  for (int i = 0; i < 16; ++i) {
    if (i == 8) h = Fnv(user + "\n" + saltKey, h);
    setting.push_back(kSaltChars[h % 64]);
    h /= 64;
  }
  crypt_data data;
  memset(&data, 0, sizeof data);
  const char* hashed = crypt_r(stored.c_str(), setting.c_str(), &data);
  return std::string("{SHA512-CRYPT}") + (hashed && hashed[0] == '$' ? hashed : "!");
}

std::string SieveString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

std::vector<RenderedFile> Render(const MailSettings& m, const Site& site) {
  return Writer(m, site).Run();
}

}  // namespace zelm::mail
