// The store server's settings as the administration pages write them into
// the directory, turned into the server's own terms. No directory access
// here: each function takes the values read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config.h"

// A flag value: on when the first value starts with "1", as the pages read it.
bool FlagOn(const std::vector<std::string>& values);

// The store path of "Quorvel:Message Store", "SERVER/VOLUME:dir/sub" as the
// file-system browser writes it ("\" works as "/"; "VOLUME:" alone is the
// volume's folder), turned into a local folder. SERVER must be this server
// (its object's own name, serverLeaf); VOLUME one of its "Volume" values
// ("NAME=folder", a relative folder lying beside the database file). Names
// ".", ".." and empty names inside the path are refused, so the path never
// leaves its volume. False with a reason otherwise.
bool ResolveStorePath(const std::string& value, const std::string& serverLeaf,
                      const std::vector<std::string>& volumes, const std::string& databasePath,
                      std::string* folder, std::string* error);

// "Quorvel:ZELM Trusted Hosts" values: one "a.b.c.d" (or "a.b.c.d/n") each.
// Unusable values are left out and listed in *ignored. When there are values
// but none is usable nobody is trusted (the list then holds 0.0.0.0/32 alone),
// so a mistyped list never opens the store wider than meant.
std::vector<TrustedNet> TrustedFromValues(const std::vector<std::string>& values,
                                          std::vector<std::string>* ignored);

// Quota values: "Quorvel:Quota Value" is decimal kilobytes (blanks around it
// allowed); false for anything else or more than 32 bits hold.
bool ParseKilobytes(const std::string& text, uint64_t* kb);
// "Quorvel:Use Quota" is a decimal bit set: 1 per-user quotas, 2 the
// system-wide quota. Unreadable text counts as 0.
uint32_t QuotaBits(const std::vector<std::string>& values);
enum : uint32_t { kQuotaPerUser = 1, kQuotaSystemWide = 2 };
