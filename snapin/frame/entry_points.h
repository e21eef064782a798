// The entry points the host calls by name (each snap-in's .def exports them).
// InitSnapin and ShutDown/Shutdown are each snap-in's own (snapin/classes,
// syslog); the others are shared and live in host_binding.cpp.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "hostext32.h"

extern "C" {
// 0, or -1 when the host libraries cannot be bound (nothing is registered).
int32_t QZXAPI InitSnapin(void);
// Keeps the host's main window; answers it.
intptr_t QZXAPI PostInitSnapin(HWND main);
// 1: the snap-in never objects to being closed.
int32_t QZXAPI CanCloseSnapin(void);
#ifndef ZELM_LOGPAGE
// Deletes the bitmaps, frees the libraries, stores the reload setting; 1.
int32_t QZXAPI ShutDown(void);
#else
// Frees the libraries; the host does not use the result.
int32_t QZXAPI Shutdown(void);
#endif
}
