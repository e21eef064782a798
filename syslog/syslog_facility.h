// The syslog settings of a server or of the services container, one record
// per facility, and their text in "Quorvel:Syslog Config": a facility value
// "%d %d %d %s %s" (index, level, mode, remote host or "-", file path) per
// facility, and on servers "Override=On" or "Override=Off". The level check
// boxes as a bit set. Pure; no window, no directory.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum {
  kFacilityCount = 22,
  kLevelCount = 8,            // priorities 0 (Emergency) to 7 (Debug)
  kFacilityPathChars = 259,   // a record's file path
  kFacilityHostChars = 15,    // a record's remote host
  kFacilityValueChars = 400,  // longest facility value, NUL excluded
  kMailFacility = 1,          // the facility the page starts on
};

// Where a facility's messages go; kModeNone: the facility has no setting.
enum {
  kModeNone = 0,
  kModeDefault = 1,
  kModeDoNotLog = 2,
  kModeFile = 3,
  kModeRemote = 4,
};

struct FacilityRecord {
  int32_t level;  // the least severe priority still logged
  int32_t mode;
  char path[kFacilityPathChars + 1];
  char host[kFacilityHostChars + 1];  // "" for none
};

// "Default", "Mail", ... "Local7", by facility index.
extern const char* const kFacilityNames[kFacilityCount];

extern const char kOverrideOn[];   // "Override=On"
extern const char kOverrideOff[];  // "Override=Off"

// The facility value of a record into out (capacity bytes with the NUL); an
// empty host is written "-". 1, or 0 when it did not fit (out is "").
int FormatFacilityValue(int index, const FacilityRecord* record, char* out, size_t capacity);

// Reads a facility value: at least three numbers (index, level, mode) make
// it one; the host ("-" read as none) and the path (the rest of the value,
// spaces included) follow when present, each cut to the record's size.
// 1 with *index and *record set (record zeroed first), else 0.
int ParseFacilityValue(const char* value, int* index, FacilityRecord* record);

// A value of the override kind: it begins with "O" (either case). Its
// meaning: on exactly when it equals "Override=On" ignoring case.
int IsOverrideValue(const char* value);
int OverrideIsOn(const char* value);

// The level boxes as bits: bit p is the box of priority p.
// The boxes shown for a level: Emergency and every priority up to it.
unsigned BoxesForLevel(int level);
// The level the boxes say: the least severe ticked priority, 0 when only
// Emergency (or nothing) is ticked.
int LevelOfBoxes(unsigned boxes);
// The boxes after the user clicked the box of `priority`, given the boxes
// with that click already made: ticks stay cumulative, and Emergency can be
// neither cleared nor combined with a click on itself.
unsigned BoxesAfterClick(unsigned boxes, int priority);
