// The procedures of the agent classes the host reaches: one object
// procedure per agent class (and the certificate database's), the creation
// dialogs and the store and SMTP agents' pages. All are exported by name.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "hostext32.h"

extern "C" {
// Object procedures (registration table; CertDBObjProc is not registered).
int32_t QZXAPI ZELMObjProc(const char* name, uint32_t message, intptr_t param3, intptr_t param4);
int32_t QZXAPI SMTPObjProc(const char* name, uint32_t message, intptr_t param3, intptr_t param4);
int32_t QZXAPI AntiSpamObjProc(const char* name, uint32_t message, intptr_t param3,
                               intptr_t param4);
int32_t QZXAPI AliasObjProc(const char* name, uint32_t message, intptr_t param3, intptr_t param4);
int32_t QZXAPI AutoReplyObjProc(const char* name, uint32_t message, intptr_t param3,
                                intptr_t param4);
int32_t QZXAPI WebMailObjProc(const char* name, uint32_t message, intptr_t param3,
                              intptr_t param4);
int32_t QZXAPI SignupObjProc(const char* name, uint32_t message, intptr_t param3,
                             intptr_t param4);
int32_t QZXAPI ProxyObjProc(const char* name, uint32_t message, intptr_t param3, intptr_t param4);
int32_t QZXAPI AddressBookObjProc(const char* name, uint32_t message, intptr_t param3,
                                  intptr_t param4);
int32_t QZXAPI FingerObjProc(const char* name, uint32_t message, intptr_t param3,
                             intptr_t param4);
int32_t QZXAPI ConnMgrObjProc(const char* name, uint32_t message, intptr_t param3,
                              intptr_t param4);
int32_t QZXAPI IMAPObjProc(const char* name, uint32_t message, intptr_t param3, intptr_t param4);
int32_t QZXAPI POPObjProc(const char* name, uint32_t message, intptr_t param3, intptr_t param4);
int32_t QZXAPI CertDBObjProc(const char* name, uint32_t message, intptr_t param3,
                             intptr_t param4);

// Creation dialogs: DialogBoxParam's parameter is the messaging server's
// full name.
INT_PTR CALLBACK CreateZELMDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CreateSMTPDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CreateAntispamDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CreateAliasAgentDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                         LPARAM lParam);
INT_PTR CALLBACK CreateForwardDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CreateWebMailDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CreateSignupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CreateProxyDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CreateAddressBookDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                          LPARAM lParam);

// The store agent's pages.
INT_PTR CALLBACK ZELMQueueDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ZELMContextDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ZELMQuotaDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ZELMSCMSDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ZELMTrustedHostsDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ZELMClientsDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The SMTP agent's pages.
INT_PTR CALLBACK SMTPIdentificationDlgProc(HWND page, UINT message, WPARAM wParam,
                                           LPARAM lParam);
INT_PTR CALLBACK SMTPOptionsDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SMTPUBEConfigurationDlgProc(HWND page, UINT message, WPARAM wParam,
                                             LPARAM lParam);
}
