// What the messaging server's object procedure, creation dialog and pages
// share.
#pragma once

enum {
  kMessagingServerPageCount = 5,
  kHelpCreateMessagingServer = 1,
  kHelpIdentification = 2,
  kHelpSecurity = 3,
  kHelpServerStatus = 4,
  kHelpStatistics = 5,
  kHelpSNMP = 7,
};

extern const char kCreateMessagingServerTemplate[];
extern const char kHostAttribute[];           // "Quorvel:Host"
// On the host server: the messaging server that runs there.
extern const char kBackReferenceAttribute[];  // "Quorvel:Messaging Server"

// Gives the host server's "Quorvel:Messaging Server" the single value
// server (syntax 1; its old values replaced, in the host's container).
// 0 or the directory error.
int SetHostBackReference(const char* host, const char* server);
// Removes server from the host server's "Quorvel:Messaging Server" when it
// names it. 0 or the directory error.
int ClearHostBackReference(const char* host, const char* server);
// Whether the host server already runs another messaging server: its
// "Quorvel:Messaging Server" names one that still exists.
int HostIsTaken(const char* host);
