// The proxy-list page of one user (template "UserProxy"): up to three remote
// POP3 or IMAP4 mailboxes the mail proxy agent collects from, kept in
// "Quorvel:Proxy List" (proxy_entry.h). Editable only when a messaging
// server serving the user's container has a proxy agent.
#pragma once

#include <windows.h>

INT_PTR CALLBACK UserProxyDlgProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
