// Everything the snap-ins' object procedures and pages use of the frame.
#pragma once

#include "ds_access.h"
#include "messages.h"
#include "names.h"
#include "snapin_state.h"
#include "strlist.h"

#ifndef ZELM_LOGPAGE
#include "server_notice.h"
#include "settings.h"
#endif
