// The snap-in's own setting ("Auto QMD Reload"), under the key
// Software\Halcyn\Tarqsuite\2.0: read per user, then machine-wide; written
// per user only.
#pragma once

extern const char kSettingAutoReload[];  // "Auto QMD Reload"

// Reads a string value into buffer (size bytes with the NUL); "" when neither
// hive has it, or when it is not text or does not fit. Returns its length.
int ReadSetting(const char* name, char* buffer, int size);

// Stores text (with its NUL) as a string value under HKEY_CURRENT_USER, or
// deletes the value when text is null. Nothing is reported when the key
// cannot be created.
void WriteSetting(const char* name, const char* text);

// The automatic module reload flag (g_snapin.autoReload) kept in the setting:
// InitSnapin turns it off only when the value reads "Off" in any letter case
// (anything else, or no value, leaves it on); ShutDown stores "On" or "Off".
void LoadReloadSetting();
void StoreReloadSetting();
