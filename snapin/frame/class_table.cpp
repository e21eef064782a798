#include "class_table.h"

#include "host_binding.h"

namespace {

const uint32_t kAgentFlags = 0x29C;

const ClassInfo kClasses[kTarqClassCount] = {
    {"User", nullptr, kFamilyNone, 0, 0},
    {"Organization", nullptr, kFamilyNone, 0, 0},
    {"Organizational Unit", nullptr, kFamilyNone, 0, 0},
    {"HVX Server", nullptr, kFamilyNone, 0, 0},
    {"Quorvel:Messaging Server", "Halcyn Tarqsuite", kFamilyMsgSrv, 0x6CD, 1},
    {"Quorvel:Services", "Internet Services", kFamilyServices, 0x489, 1},
    {"Quorvel:Mail Agent", "Quorvel Abstract Agent Baseclass", kFamilyServices, 0x400, 1},
    {"Quorvel:ZELM Agent", "ZELM Message Store", kFamilyZELM, kAgentFlags, 1},
    {"Quorvel:POP Agent", "POP3 Client Protocol", kFamilyPOP, kAgentFlags, 1},
    {"Quorvel:Finger Agent", "Finger User Lookup Protocol", kFamilyFinger, kAgentFlags, 1},
    {"Quorvel:Proxy Agent", "Mail Proxy Agent", kFamilyProxy, kAgentFlags, 1},
    {"Quorvel:IMAP Agent", "IMAP Client Protocol", kFamilyIMAP, kAgentFlags, 1},
    {"Quorvel:SMTP Agent", "SMTP Protocol", kFamilySMTP, kAgentFlags, 1},
    {"Quorvel:WebMail Agent", "WebMail Interface", kFamilyWebMail, kAgentFlags, 1},
    {"Quorvel:AntiSpam Agent", "AntiSpam Agent", kFamilyAntiSpam, kAgentFlags, 1},
    {"Quorvel:AutoReply Agent", "Forward/AutoReply Agent", kFamilyAutoReply, kAgentFlags, 1},
    {"Quorvel:Alias Agent", "Alias Agent", kFamilyAlias, kAgentFlags, 1},
    {"Quorvel:Addressbook Agent", "Address Book Agent", kFamilyLDAP, kAgentFlags, 1},
    {"Quorvel:Signup Agent", "Signup Agent", kFamilySignup, kAgentFlags, 1},
    {"TARQ:ConnMgr Agent", "Connection Manager", kFamilyConnMgr, kAgentFlags, 1},
    {"Quorvel:Certificate Database", "Quorvel X.509 Certificate Database", kFamilyCertDB, 8, 1},
};

}  // namespace

const ClassInfo& ClassInfoOf(int tarqClass) {
  if (tarqClass < 0 || tarqClass >= kTarqClassCount) return kClasses[kClassUser];
  return kClasses[tarqClass];
}

int32_t AnswerClassMessage(int tarqClass, uint32_t message) {
  const ClassInfo& info = ClassInfoOf(tarqClass);
  HBITMAP* bitmaps = FamilyBitmaps(info.family);
  switch (message) {
    case QZX_MSG_CLASS_DATA:
      if (bitmaps && g_host.api.addClassData)
        g_host.api.addClassData(info.className, info.description, bitmaps[kBitmapClass],
                                bitmaps[kBitmapAlias], bitmaps[kBitmapReadOnly]);
      return 0;
    case QZX_MSG_REMOVE_CLASS_DATA:
      if (bitmaps && g_host.api.removeClassData)
        g_host.api.removeClassData(info.className, &bitmaps[kBitmapClass], &bitmaps[kBitmapAlias],
                                   &bitmaps[kBitmapReadOnly]);
      return 0;
    case QZX_MSG_CLASS_KIND: return info.kind;
    case QZX_MSG_CLASS_FLAGS: return static_cast<int32_t>(info.flags);
  }
  return 0;
}
