// The daemons' configuration made from the settings: Postfix's main.cf and
// master.cf with its lookup tables, Dovecot's dovecot.conf with its user
// files, and one Sieve script per user who forwards mail or replies to it.
// A pure function of the settings and the site: every file the mail
// system's folder should hold, with its text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mail_settings.h"

namespace zelm::mail {

// Where and as whom the daemons run.
struct Site {
  std::string folder;            // the mail system's own folder (absolute)
  std::string listen = "127.0.0.1";
  uint16_t smtpPort = 25, imapPort = 143, popPort = 110;
  std::string mailUser = "mail";  // owner of the store's folders; mail is read and written as it
  uint32_t mailUid = 8, mailGid = 8;
  std::string postfixUser = "postfix", postfixGroup = "postdrop";
  std::string internalUser = "dovecot", loginUser = "dovenull";
  std::string saltKey;           // makes password hashes of this site
  int weekday = 1, hour = 12;    // now (0 = Sunday), for the remote-queue hours
};

// Who a file belongs to: root, the mail user (delivery reads and writes
// it), or the daemons' own internal user (their password file).
enum class Owner { kRoot, kMail, kInternal };

struct RenderedFile {
  std::string path;  // relative to the folder
  std::string content;
  Owner owner = Owner::kRoot;
  unsigned mode = 0644;
};

// Folders of the site, relative to its folder.
extern const char kPostfixDir[], kDovecotDir[], kSieveDir[], kSpoolDir[], kDataDir[],
    kRunDir[], kLogDir[], kHomeDir[], kIndexDir[];

std::vector<RenderedFile> Render(const MailSettings& m, const Site& site);

// Whether remote deliveries wait now (the store agent's remote-queue hours):
// from the first hour up to, not including, the second; a range whose end
// lies before its start runs over midnight; equal hours are no range.
bool RemoteQueueHeld(const MailSettings& m, int weekday, int hour);

// "{SHA512-CRYPT}$6$..." for a password as stored; a stored value that is a
// hash already ("{SCHEME}...") is kept. The salt comes from the site's key
// and the user, so the same password hashes the same way each time.
std::string PasswordHash(const std::string& stored, const std::string& saltKey,
                         const std::string& user);

// A Sieve string literal.
std::string SieveString(const std::string& text);

}  // namespace zelm::mail
