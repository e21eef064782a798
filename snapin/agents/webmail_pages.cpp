// The web-mail agent's "WebMailIdent" (ports, title, advertising, limits),
// "WebMailConfig" (what users may do through the web) and "WebMailAddrBook"
// pages.
#include <stdio.h>
#include <string.h>

#include "agent_pages.h"
#include "agents_web_ids.h"
#include "frame.h"
#include "tarq_ids.h"
#include "webmail_pages.h"
#include "webmail_values.h"

namespace {

const char kModule[] = "WEBAGENT.QMD";
const char kConfiguration[] = "Quorvel:Configuration";
enum { kHelpIdent = 33, kHelpConfig = 34, kHelpAddrBook = 34 };
enum { kValueChars = kDSValueBytes - 1 };  // the longest value the directory holds

void NotifyChanged() { NotifyConfigChange(g_snapin.currentObject, kModule, kNoticeChanged); }

// Limits an edit so that tag and text together still fit one value.
void LimitTagged(HWND page, int id, const char* tag) {
  LimitText(page, id, kValueChars - static_cast<int>(strlen(tag)));
}

// The configuration as stored now: another page of the same sheet may have
// written it since this page loaded, and what it wrote must survive.
void ReadConfiguration(StrList* list) { ReadAgentValues(list, kConfiguration); }

// ---- "WebMailIdent" -------------------------------------------------------------------

const char kAdvertising[] = "Quorvel:Advertising Config";
const char kPort[] = "Quorvel:Port";
const char kSslPort[] = "Quorvel:SSL Port";
const char kRecipients[] = "TARQ:Recipient Limit";
const char kMessageLimit[] = "Quorvel:Message Limit";
const char* const kLimits[] = {"<none>", "1", "2", "5", "10", "20", "40"};
enum { kPortChars = 5, kRecipientChars = 10 };

const int kAdIds[] = {IDC_WI_AD_NONE,     IDC_WI_AD_TOP,       IDC_WI_AD_BOTTOM,
                      IDC_WI_AD_EMBEDDED, IDC_WI_AD_URL_LABEL, IDC_WI_AD_URL};
const int kPortIds[] = {IDC_WI_HTTP_PORT, IDC_WI_SSL_PORT, IDC_WI_HTTP_ON, IDC_WI_SSL_ON,
                        IDC_WI_PORTS_GROUP};
const int kRecipientIds[] = {IDC_WI_RECIPIENTS_LABEL, IDC_WI_RECIPIENTS};
const int kLimitIds[] = {IDC_WI_LIMIT, IDC_WI_LIMIT_LABEL, IDC_WI_LIMIT_UNIT};
const int kTitleIds[] = {IDC_WI_TITLE, IDC_WI_TITLE_GROUP};

struct IdentPage {
  // Values as last read (the old values of each write); freed on close.
  StrList advertising, port, sslPort, recipients, limit, configuration;
  int adWritable, portWritable, recipientsWritable, limitWritable, configWritable;
  int loading;
};
IdentPage g_ident;

void IdentFree() {
  StrListFree(&g_ident.advertising);
  StrListFree(&g_ident.port);
  StrListFree(&g_ident.sslPort);
  StrListFree(&g_ident.recipients);
  StrListFree(&g_ident.limit);
  StrListFree(&g_ident.configuration);
}

// The URL field names what the chosen kind of advertising needs.
void ShowAdKind(HWND page) {
  int none = Checked(page, IDC_WI_AD_NONE);
  const char* label = none ? "URL:" : Checked(page, IDC_WI_AD_EMBEDDED) ? "AdSource URL:" : "Frame-URL:";
  SetDlgItemTextA(page, IDC_WI_AD_URL_LABEL, label);
  int on = !none && g_ident.adWritable;
  EnableWindow(GetDlgItem(page, IDC_WI_AD_URL_LABEL), on);
  EnableWindow(GetDlgItem(page, IDC_WI_AD_URL), on);
}

void ShowAdvertising(HWND page) {
  if (g_ident.advertising.count == 0) SetChecked(page, IDC_WI_AD_NONE, 1);
  const int radios[] = {IDC_WI_AD_NONE, IDC_WI_AD_TOP, IDC_WI_AD_BOTTOM, IDC_WI_AD_EMBEDDED};
  for (int i = 0; i < g_ident.advertising.count; ++i) {
    const char* value = g_ident.advertising.items[i];
    if (const char* url = AfterTag(value, "URL:")) {
      SetDlgItemTextA(page, IDC_WI_AD_URL, url);
    } else if (AfterTag(value, "Location:")) {
      int kind = ParseAdLocation(value);
      for (int r = 0; r < 4; ++r) SetChecked(page, radios[r], r == kind);
    }
  }
  ShowAdKind(page);
}

INT_PTR IdentInit(HWND page) {
  IdentFree();
  g_ident.loading = 1;
  BeginPage(page);
  g_ident.adWritable = CanWriteAgent(kAdvertising);
  if (!g_ident.adWritable) EnableIds(page, kAdIds, 6, 0);
  g_ident.portWritable = CanWriteAgent(kPort);
  if (!g_ident.portWritable) EnableIds(page, kPortIds, 5, 0);
  g_ident.recipientsWritable = CanWriteAgent(kRecipients);
  if (!g_ident.recipientsWritable) EnableIds(page, kRecipientIds, 2, 0);
  g_ident.limitWritable = CanWriteAgent(kMessageLimit);
  if (!g_ident.limitWritable) EnableIds(page, kLimitIds, 3, 0);
  g_ident.configWritable = CanWriteAgent(kConfiguration);
  if (!g_ident.configWritable) EnableIds(page, kTitleIds, 2, 0);

  LimitText(page, IDC_WI_HTTP_PORT, kPortChars);
  LimitText(page, IDC_WI_SSL_PORT, kPortChars);
  LimitText(page, IDC_WI_RECIPIENTS, kRecipientChars);
  LimitTagged(page, IDC_WI_TITLE, "Name:");
  LimitTagged(page, IDC_WI_AD_URL, "URL:");

  ReadAgentValues(&g_ident.port, kPort);
  ReadAgentValues(&g_ident.sslPort, kSslPort);
  ReadAgentValues(&g_ident.recipients, kRecipients);
  SetDlgItemTextA(page, IDC_WI_HTTP_PORT, FirstOfList(&g_ident.port));
  SetDlgItemTextA(page, IDC_WI_SSL_PORT, FirstOfList(&g_ident.sslPort));
  SetDlgItemTextA(page, IDC_WI_RECIPIENTS, FirstOfList(&g_ident.recipients));

  ReadAgentValues(&g_ident.configuration, kConfiguration);
  for (int i = 0; i < g_ident.configuration.count; ++i) {
    const char* value = g_ident.configuration.items[i];
    uint32_t bits = 0;
    if (ParseBehaviour(value, &bits)) {
      SetChecked(page, IDC_WI_HTTP_ON, (bits & kWebHttpPort) != 0);
      SetChecked(page, IDC_WI_SSL_ON, (bits & kWebSslPort) != 0);
      if (!(bits & kWebHttpPort)) EnableWindow(GetDlgItem(page, IDC_WI_HTTP_PORT), FALSE);
      if (!(bits & kWebSslPort)) EnableWindow(GetDlgItem(page, IDC_WI_SSL_PORT), FALSE);
    } else if (const char* name = AfterTag(value, "Name:")) {
      SetDlgItemTextA(page, IDC_WI_TITLE, name);
    }
  }

  ReadAgentValues(&g_ident.advertising, kAdvertising);
  ShowAdvertising(page);

  FillCombo(page, IDC_WI_LIMIT, kLimits, 7);
  ReadAgentValues(&g_ident.limit, kMessageLimit);
  SelectComboText(page, IDC_WI_LIMIT, FirstOfList(&g_ident.limit));
  g_ident.loading = 0;
  return TRUE;
}

void IdentCommand(HWND page, int id, int code) {
  if (g_ident.loading) return;
  switch (id) {
    case IDC_WI_HTTP_PORT:
    case IDC_WI_SSL_PORT:
    case IDC_WI_TITLE:
    case IDC_WI_AD_URL:
    case IDC_WI_RECIPIENTS:
      if (code == EN_UPDATE) MarkPageChanged(page);
      return;
    case IDC_WI_LIMIT:
      if (code == CBN_SELCHANGE) MarkPageChanged(page);
      return;
    case IDC_WI_HTTP_ON:
    case IDC_WI_SSL_ON: {
      if (code != BN_CLICKED) return;
      int edit = id == IDC_WI_HTTP_ON ? IDC_WI_HTTP_PORT : IDC_WI_SSL_PORT;
      EnableWindow(GetDlgItem(page, edit), Checked(page, id) && g_ident.portWritable);
      MarkPageChanged(page);
      return;
    }
    case IDC_WI_AD_NONE:
    case IDC_WI_AD_TOP:
    case IDC_WI_AD_BOTTOM:
    case IDC_WI_AD_EMBEDDED:
      if (code != BN_CLICKED) return;
      MarkPageChanged(page);
      ShowAdKind(page);
      return;
  }
}

INT_PTR CALLBACK UrlWarnProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
      return TRUE;
  }
  return FALSE;
}

// The advertising values; 0 when the user abandoned the apply at the
// partial-URL warning.
int BuildAdvertising(HWND page, StrList* wanted) {
  char url[kDSValueBytes], value[kDSValueBytes];
  DialogText(page, IDC_WI_AD_URL, url, sizeof url);
  if ((Checked(page, IDC_WI_AD_TOP) || Checked(page, IDC_WI_AD_BOTTOM)) && !LooksAbsoluteUrl(url) &&
      DialogBoxParamA(ResourceModule(), "WebmailURLWarn", page, UrlWarnProc, 0) != IDOK) {
    FocusItem(page, IDC_WI_AD_URL);
    return 0;
  }
  JoinTagged("URL:", url, value, sizeof value);
  StrListAdd(wanted, value);
  if (Checked(page, IDC_WI_AD_NONE))
    StrListAdd(wanted, "Location:0");
  else if (Checked(page, IDC_WI_AD_BOTTOM))
    StrListAdd(wanted, "Location:2");
  else if (Checked(page, IDC_WI_AD_EMBEDDED))
    StrListAdd(wanted, "Location:3");
  else if (Checked(page, IDC_WI_AD_TOP))
    StrListAdd(wanted, "Location:1");
  return 1;
}

// Every stored value stays but "Behaviour:" (its port bits from the two
// boxes) and "Name:" (the title typed). A "Behaviour:" without a number is
// left as it is: the boxes never showed it.
void BuildIdentConfiguration(HWND page, const StrList* stored, StrList* wanted) {
  char value[kDSValueBytes], text[kDSValueBytes];
  for (int i = 0; i < stored->count; ++i) {
    const char* v = stored->items[i];
    if (!v) continue;
    uint32_t bits = 0;
    if (ParseBehaviour(v, &bits)) {
      bits &= ~static_cast<uint32_t>(kWebPortBits);
      if (Checked(page, IDC_WI_HTTP_ON)) bits |= kWebHttpPort;
      if (Checked(page, IDC_WI_SSL_ON)) bits |= kWebSslPort;
      FormatBehaviour(bits, value, sizeof value);
      StrListAdd(wanted, value);
    } else if (!AfterTag(v, "Name:")) {
      StrListAdd(wanted, v);
    }
  }
  DialogText(page, IDC_WI_TITLE, text, sizeof text);
  JoinTagged("Name:", text, value, sizeof value);
  StrListAdd(wanted, value);
}

// Writes wanted (emptied after) over old; on an error shows it and focuses focusId.
int WriteOrRefuse(HWND page, StrList* old, const char* attribute, StrList* wanted, int focusId) {
  int r = WriteAgentList(old, attribute, wanted, kSyntaxCIString);
  StrListFree(wanted);
  if (r != 0) ShowErrorAt(page, r, focusId);
  return r == 0;
}

int WriteTextOrRefuse(HWND page, StrList* old, const char* attribute, const char* text, int focusId) {
  int r = WriteAgentText(old, attribute, text, kSyntaxCIString);
  if (r != 0) ShowErrorAt(page, r, focusId);
  return r == 0;
}

INT_PTR IdentApply(HWND page) {
  char text[kDSValueBytes];
  StrList wanted = {};
  if (g_ident.adWritable) {
    if (!BuildAdvertising(page, &wanted)) {
      StrListFree(&wanted);
      return 0;
    }
    if (!WriteOrRefuse(page, &g_ident.advertising, kAdvertising, &wanted, IDC_WI_AD_NONE)) return 0;
  }
  if (g_ident.portWritable) {
    if (!WriteTextOrRefuse(page, &g_ident.port, kPort,
                           DialogText(page, IDC_WI_HTTP_PORT, text, sizeof text), IDC_WI_HTTP_PORT) ||
        !WriteTextOrRefuse(page, &g_ident.sslPort, kSslPort,
                           DialogText(page, IDC_WI_SSL_PORT, text, sizeof text), IDC_WI_SSL_PORT))
      return 0;
  }
  if (g_ident.configWritable) {
    ReadConfiguration(&g_ident.configuration);
    BuildIdentConfiguration(page, &g_ident.configuration, &wanted);
    if (!WriteOrRefuse(page, &g_ident.configuration, kConfiguration, &wanted, IDC_WI_TITLE)) return 0;
  }
  if (g_ident.limitWritable) {
    ComboSelection(page, IDC_WI_LIMIT, text, sizeof text);
    if (!WriteTextOrRefuse(page, &g_ident.limit, kMessageLimit, text, IDC_WI_LIMIT)) return 0;
  }
  if (g_ident.recipientsWritable &&
      !WriteTextOrRefuse(page, &g_ident.recipients, kRecipients,
                         DialogText(page, IDC_WI_RECIPIENTS, text, sizeof text), IDC_WI_RECIPIENTS))
    return 0;
  if (g_ident.configWritable || g_ident.portWritable || g_ident.limitWritable ||
      g_ident.recipientsWritable)
    NotifyChanged();
  return 1;
}

// ---- "WebMailConfig" ------------------------------------------------------------------

struct BitBox {
  uint32_t bit;
  int id;
};
const BitBox kBoxes[] = {
    {kWebChangePassword, IDC_WC_PASSWORD}, {kWebSslRequired, IDC_WC_SSL_REQUIRED},
    {kWebPreferences, IDC_WC_PREFERENCES}, {kWebPreferencesOnly, IDC_WC_PREFS_ONLY},
    {kWebGeneral, IDC_WC_GENERAL},         {kWebAppearance, IDC_WC_APPEARANCE},
    {kWebColors, IDC_WC_COLORS},           {kWebForwarding, IDC_WC_FORWARDING},
    {kWebAutoReply, IDC_WC_AUTOREPLY},     {kWebFinger, IDC_WC_FINGER},
    {kWebProxy, IDC_WC_PROXY},             {kWebReplyToFrom, IDC_WC_REPLY_TO},
    {kWebRedirectBusy, IDC_WC_BUSY},
};
enum { kBoxCount = sizeof kBoxes / sizeof kBoxes[0] };

// What "Allow preference changes" governs.
const int kPreferenceIds[] = {IDC_WC_PREFS_ONLY, IDC_WC_GENERAL,   IDC_WC_APPEARANCE,
                              IDC_WC_COLORS,     IDC_WC_FORWARDING, IDC_WC_AUTOREPLY,
                              IDC_WC_FINGER,     IDC_WC_PROXY};
const int kConfigIds[] = {IDC_WC_PASSWORD,   IDC_WC_SSL_REQUIRED, IDC_WC_PREFS_ONLY, IDC_WC_PREFS_GROUP,
                          IDC_WC_PREFERENCES, IDC_WC_BUSY,        IDC_WC_MSG_PER_PAGE, IDC_WC_BUSY_URL,
                          IDC_WC_GENERAL,    IDC_WC_APPEARANCE,   IDC_WC_COLORS,     IDC_WC_FORWARDING,
                          IDC_WC_AUTOREPLY,  IDC_WC_FINGER,       IDC_WC_PROXY,      IDC_WC_REPLY_TO};

struct ConfigPage {
  StrList configuration;  // as last read; freed on close
  int writable;
  int loading;
};
ConfigPage g_config;
// The last "Behaviour:" number read; its port bits belong to the
// configuration page and survive this page's apply.
uint32_t g_behaviour;

void ConfigFree() { StrListFree(&g_config.configuration); }

INT_PTR ConfigInit(HWND page) {
  ConfigFree();
  g_config.loading = 1;
  BeginPage(page);
  g_config.writable = CanWriteAgent(kConfiguration);
  LimitTagged(page, IDC_WC_MSG_PER_PAGE, "MsgPerPage:");
  LimitTagged(page, IDC_WC_BUSY_URL, "BusyURL:");
  // Another agent's number must not carry over to one without a "Behaviour:".
  g_behaviour = 0;
  ReadConfiguration(&g_config.configuration);
  for (int i = 0; i < g_config.configuration.count; ++i) {
    const char* value = g_config.configuration.items[i];
    uint32_t bits = 0;
    if (ParseBehaviour(value, &bits)) {
      for (const BitBox& box : kBoxes) SetChecked(page, box.id, (bits & box.bit) != 0);
      if (!(bits & kWebChangePassword)) EnableWindow(GetDlgItem(page, IDC_WC_SSL_REQUIRED), FALSE);
      if (!(bits & kWebPreferences)) EnableWindow(GetDlgItem(page, IDC_WC_PREFS_ONLY), FALSE);
      if (!(bits & kWebRedirectBusy)) EnableWindow(GetDlgItem(page, IDC_WC_BUSY_URL), FALSE);
      g_behaviour = bits;
    } else if (const char* n = AfterTag(value, "MsgPerPage:")) {
      SetDlgItemTextA(page, IDC_WC_MSG_PER_PAGE, n);
    } else if (const char* url = AfterTag(value, "BusyURL:")) {
      SetDlgItemTextA(page, IDC_WC_BUSY_URL, url);
    }
  }
  if (!g_config.writable) EnableIds(page, kConfigIds, sizeof kConfigIds / sizeof kConfigIds[0], 0);
  g_config.loading = 0;
  return TRUE;
}

void ConfigCommand(HWND page, int id, int code) {
  if (g_config.loading) return;
  if (id == IDC_WC_MSG_PER_PAGE || id == IDC_WC_BUSY_URL) {
    if (code == EN_UPDATE) MarkPageChanged(page);
    return;
  }
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDC_WC_PREFERENCES:
      EnableIds(page, kPreferenceIds, 8, Checked(page, id) && g_config.writable);
      break;
    case IDC_WC_PASSWORD:
      EnableWindow(GetDlgItem(page, IDC_WC_SSL_REQUIRED), Checked(page, id) && g_config.writable);
      break;
    case IDC_WC_BUSY:
      EnableWindow(GetDlgItem(page, IDC_WC_BUSY_URL), Checked(page, id) && g_config.writable);
      break;
    default: {
      int known = 0;
      for (const BitBox& box : kBoxes) known |= box.id == id;
      if (!known) return;
    }
  }
  MarkPageChanged(page);
}

// The configuration the page writes: the stored "Name:" values, the
// behaviour number and the two texts. 0 (and a message) when the messages
// per page are not a number from 1 to 100.
int BuildInterfaceConfiguration(HWND page, const StrList* stored, uint32_t portBits, StrList* wanted) {
  char text[kDSValueBytes], value[kDSValueBytes];
  int perPage = MessagesPerPage(DialogText(page, IDC_WC_MSG_PER_PAGE, text, sizeof text));
  if (perPage == 0) {
    char message[256], caption[64];
    LoadResourceText(IDS_WEB_BAD_MSG_PER_PAGE, message, sizeof message);
    LoadResourceText(IDS_ERROR_CAPTION, caption, sizeof caption);
    MessageBoxA(page, message, caption, MB_OK | MB_ICONERROR | MB_TASKMODAL);
    FocusItem(page, IDC_WC_MSG_PER_PAGE);
    return 0;
  }
  for (int i = 0; i < stored->count; ++i)
    if (stored->items[i] && AfterTag(stored->items[i], "Name:")) StrListAdd(wanted, stored->items[i]);
  uint32_t bits = portBits & kWebPortBits;
  for (const BitBox& box : kBoxes)
    if (Checked(page, box.id)) bits |= box.bit;
  FormatBehaviour(bits, value, sizeof value);
  StrListAdd(wanted, value);
  snprintf(value, sizeof value, "MsgPerPage:%d", perPage);
  StrListAdd(wanted, value);
  JoinTagged("BusyURL:", DialogText(page, IDC_WC_BUSY_URL, text, sizeof text), value, sizeof value);
  StrListAdd(wanted, value);
  return 1;
}

INT_PTR ConfigApply(HWND page) {
  if (g_config.writable) {
    // The port bits as the configuration page left them, even when it was
    // applied after this page loaded.
    ReadConfiguration(&g_config.configuration);
    uint32_t portBits = g_behaviour;
    for (int i = 0; i < g_config.configuration.count; ++i)
      ParseBehaviour(g_config.configuration.items[i], &portBits);
    StrList wanted = {};
    if (!BuildInterfaceConfiguration(page, &g_config.configuration, portBits, &wanted)) {
      StrListFree(&wanted);
      return 0;
    }
    if (!WriteOrRefuse(page, &g_config.configuration, kConfiguration, &wanted, IDC_WC_MSG_PER_PAGE))
      return 0;
    NotifyChanged();
  }
  return 1;
}

// ---- "WebMailAddrBook" ------------------------------------------------------------------

const char kBookConfig[] = "Quorvel:Addressbook Config";
const char kBookSystemUrl[] = "Quorvel:Addressbook URL System";
const char kBookPublicUrl[] = "Quorvel:Addressbook URL Public";
const char* const kEntries[] = {"10", "25", "50", "100"};
const uint32_t kBookBits = kBookEnabled | kBookPersonal | kBookSystem | kBookPublic;

const int kBookIds[] = {IDC_WB_ENABLED,      IDC_WB_PERSONAL,     IDC_WB_ENTRIES,
                        IDC_WB_SYSTEM,       IDC_WB_SYSTEM_URL,   IDC_WB_PUBLIC,
                        IDC_WB_PUBLIC_URL,   IDC_WB_ENTRIES_LABEL, IDC_WB_ENTRIES_UNIT,
                        IDC_WB_SYSTEM_LABEL, IDC_WB_PUBLIC_LABEL};

struct BookPage {
  StrList config, system, publicUrl;  // as last read; freed on close
  uint32_t otherFlags;                // flag bits no box shows, kept as stored
  int writable;
  int loading;
};
BookPage g_book;

void BookFree() {
  StrListFree(&g_book.config);
  StrListFree(&g_book.system);
  StrListFree(&g_book.publicUrl);
}

// Each kind of address book and its field follow their boxes, all of them
// "Addressbook enabled".
void ShowBookEnables(HWND page) {
  int w = g_book.writable, on = Checked(page, IDC_WB_ENABLED);
  const int kinds[] = {IDC_WB_PERSONAL, IDC_WB_SYSTEM, IDC_WB_PUBLIC};
  EnableIds(page, kinds, 3, w && on);
  const int personal[] = {IDC_WB_ENTRIES, IDC_WB_ENTRIES_LABEL, IDC_WB_ENTRIES_UNIT};
  EnableIds(page, personal, 3, w && on && Checked(page, IDC_WB_PERSONAL));
  const int system[] = {IDC_WB_SYSTEM_URL, IDC_WB_SYSTEM_LABEL};
  EnableIds(page, system, 2, w && on && Checked(page, IDC_WB_SYSTEM));
  const int pub[] = {IDC_WB_PUBLIC_URL, IDC_WB_PUBLIC_LABEL};
  EnableIds(page, pub, 2, w && on && Checked(page, IDC_WB_PUBLIC));
}

INT_PTR BookInit(HWND page) {
  BookFree();
  g_book.loading = 1;
  BeginPage(page);
  g_book.writable = CanWriteAgent(kBookConfig);
  LimitText(page, IDC_WB_SYSTEM_URL, kValueChars);
  LimitText(page, IDC_WB_PUBLIC_URL, kValueChars);
  FillCombo(page, IDC_WB_ENTRIES, kEntries, 4);
  ReadAgentValues(&g_book.system, kBookSystemUrl);
  ReadAgentValues(&g_book.publicUrl, kBookPublicUrl);
  SetDlgItemTextA(page, IDC_WB_SYSTEM_URL, FirstOfList(&g_book.system));
  SetDlgItemTextA(page, IDC_WB_PUBLIC_URL, FirstOfList(&g_book.publicUrl));
  ReadAgentValues(&g_book.config, kBookConfig);
  AddressBookConfig config = {};
  if (ParseAddressBookConfig(FirstOfList(&g_book.config), &config) >= 1) {
    char entries[16];
    snprintf(entries, sizeof entries, "%lu", static_cast<unsigned long>(config.entries));
    SelectComboText(page, IDC_WB_ENTRIES, entries);
  }
  g_book.otherFlags = config.flags & ~kBookBits;
  SetChecked(page, IDC_WB_ENABLED, (config.flags & kBookEnabled) != 0);
  SetChecked(page, IDC_WB_PERSONAL, (config.flags & kBookPersonal) != 0);
  SetChecked(page, IDC_WB_SYSTEM, (config.flags & kBookSystem) != 0);
  SetChecked(page, IDC_WB_PUBLIC, (config.flags & kBookPublic) != 0);
  ShowBookEnables(page);
  if (!g_book.writable) EnableIds(page, kBookIds, sizeof kBookIds / sizeof kBookIds[0], 0);
  g_book.loading = 0;
  return TRUE;
}

void BookCommand(HWND page, int id, int code) {
  if (g_book.loading) return;
  switch (id) {
    case IDC_WB_ENABLED:
    case IDC_WB_PERSONAL:
    case IDC_WB_SYSTEM:
    case IDC_WB_PUBLIC:
      if (code != BN_CLICKED) return;
      ShowBookEnables(page);
      MarkPageChanged(page);
      return;
    case IDC_WB_ENTRIES:
      if (code == CBN_SELCHANGE) MarkPageChanged(page);
      return;
    case IDC_WB_SYSTEM_URL:
    case IDC_WB_PUBLIC_URL:
      if (code == EN_UPDATE) MarkPageChanged(page);
      return;
  }
}

INT_PTR BookApply(HWND page) {
  if (g_book.writable) {
    char text[kDSValueBytes];
    AddressBookConfig config = {};
    char value[kDSValueBytes];
    if (ComboSelection(page, IDC_WB_ENTRIES, text, sizeof text) &&
        JoinTagged("Entries:", text, value, sizeof value))
      ParseAddressBookConfig(value, &config);
    config.flags = g_book.otherFlags;
    if (Checked(page, IDC_WB_ENABLED)) config.flags |= kBookEnabled;
    if (Checked(page, IDC_WB_PERSONAL)) config.flags |= kBookPersonal;
    if (Checked(page, IDC_WB_SYSTEM)) config.flags |= kBookSystem;
    if (Checked(page, IDC_WB_PUBLIC)) config.flags |= kBookPublic;
    FormatAddressBookConfig(config, text, sizeof text);
    if (!WriteTextOrRefuse(page, &g_book.config, kBookConfig, text, IDC_WB_ENABLED) ||
        !WriteTextOrRefuse(page, &g_book.system, kBookSystemUrl,
                           DialogText(page, IDC_WB_SYSTEM_URL, text, sizeof text), IDC_WB_SYSTEM_URL) ||
        !WriteTextOrRefuse(page, &g_book.publicUrl, kBookPublicUrl,
                           DialogText(page, IDC_WB_PUBLIC_URL, text, sizeof text), IDC_WB_PUBLIC_URL))
      return 0;
    NotifyChanged();
  }
  return 1;
}

}  // namespace

extern "C" INT_PTR CALLBACK WebMailIdentDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return IdentInit(page);
    case WM_COMMAND: IdentCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return IdentApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpIdent);
    case WM_CLOSE: IdentFree(); return FALSE;
  }
  return FALSE;
}

extern "C" INT_PTR CALLBACK WebMailConfigDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return ConfigInit(page);
    case WM_COMMAND: ConfigCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return ConfigApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpConfig);
    case WM_CLOSE: ConfigFree(); return FALSE;
  }
  return FALSE;
}

extern "C" INT_PTR CALLBACK WebMailAddrBookDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return BookInit(page);
    case WM_COMMAND: BookCommand(page, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    case QZX_PAGE_APPLY: return BookApply(page);
    case QZX_PAGE_HELP: return ShowPageHelp(page, kHelpAddrBook);
    case WM_CLOSE: BookFree(); return FALSE;
  }
  return FALSE;
}
