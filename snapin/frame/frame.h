// Everything the snap-ins' object procedures and pages use of the frame.
#pragma once

#include "callbacks.h"
#include "ds_access.h"
#include "host_binding.h"
#include "messages.h"
#include "names.h"
#include "object_protocol.h"
#include "snapin_state.h"
#include "strlist.h"

#ifndef ZELM_LOGPAGE
#include "class_bitmaps.h"
#include "class_table.h"
#include "line_breaks.h"
#include "server_notice.h"
#include "settings.h"
#endif
