// Resource numbers of the syslog snap-in; part of its interface with its
// language resource library "LOGPGRES.DLL": keep them as they are.
#pragma once
