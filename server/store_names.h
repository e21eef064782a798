// User and mailbox names as clients send them, and the folders they stand for.
// A user is a folder beneath the store root; its mailboxes are Maildir++:
// INBOX is the user folder itself, "A/B" is the folder ".A.B" beside it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum : size_t { kNameMax = 255 };  // one path component

// A user name is one plain path component: not empty, no '/', no control
// characters, not starting with '.', at most kNameMax bytes.
bool ValidUserName(std::string_view name);

// Wire mailbox name -> folder name beneath the user folder ("" for INBOX).
// Refused: empty components, '.', '\\', control characters, a folder name
// longer than kNameMax, names under INBOX.
bool MailboxFolder(std::string_view wire, std::string* folder);

// Folder name (".A.B") -> wire name ("A/B"); false for anything that is not a
// well-formed Maildir++ folder name or that would read as INBOX.
bool WireMailboxName(std::string_view folder, std::string* wire);

// What SHOW lists: INBOX first, then the others sorted, each parent that is
// not itself a mailbox as a hierarchy node with a trailing '/'.
std::vector<std::string> MailboxListing(std::vector<std::string> wireNames);

bool IsInbox(std::string_view wire);
