// The procedures of the messaging server objects the host reaches: object
// procedures of the messaging server, the services container, the abstract
// mail agent and the file server's extra page; the messaging server's
// creation dialog and pages; the pages every agent class shares.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "hostext32.h"

extern "C" {
// Object procedures (registration table).
int32_t QZXAPI MessagingServerObjProc(const char* name, uint32_t message, intptr_t param3,
                                      intptr_t param4);
int32_t QZXAPI ServicesObjProc(const char* name, uint32_t message, intptr_t param3,
                               intptr_t param4);
int32_t QZXAPI MailAgentObjProc(const char* name, uint32_t message, intptr_t param3,
                                intptr_t param4);
int32_t QZXAPI ServerObjProc(const char* name, uint32_t message, intptr_t param3,
                             intptr_t param4);

// The messaging server's creation dialog ("CreateMessagingServer") and pages.
INT_PTR CALLBACK CreateMessagingServerDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                              LPARAM lParam);
INT_PTR CALLBACK MessagingServerIdentificationDlgProc(HWND page, UINT message, WPARAM wParam,
                                                      LPARAM lParam);
INT_PTR CALLBACK MessagingServerSecurityDlgProc(HWND page, UINT message, WPARAM wParam,
                                                LPARAM lParam);
INT_PTR CALLBACK MessagingServerStatisticsDlgProc(HWND page, UINT message, WPARAM wParam,
                                                  LPARAM lParam);
INT_PTR CALLBACK MessagingServerSNMPDlgProc(HWND page, UINT message, WPARAM wParam,
                                            LPARAM lParam);
INT_PTR CALLBACK MessagingServerStatusDlgProc(HWND page, UINT message, WPARAM wParam,
                                              LPARAM lParam);

// "ServicesInfo" (and the certificate database's "CertDBInfo"), "Server".
INT_PTR CALLBACK ServicesInfoDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ServerDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The pages every agent class shares: "Status", "ZELMQueueServer",
// "ZELMToService". They work on the current object and current module file
// name the agent's object procedure set on 0x103.
INT_PTR CALLBACK StatusDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ZELMQueueServerDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ZELMToServiceDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
}

// Help ids of the queue-server and store-server pages: an agent's object
// procedure sets those of its class whenever it hands out a page record
// (classes without one of the pages leave that id as it was).
void SetQueueServerHelpId(int helpId);
void SetStoreServerHelpId(int helpId);
int QueueServerHelpId();
int StoreServerHelpId();
