/* netcalls32.dll: the server request client. Exported by ordinal only
   (netcalls32.def); link the import library or look each function up with
   GetProcAddress(module, MAKEINTRESOURCEA(ordinal)).

   A call names its server by a connection of the directory client: opened
   with dsclient32 1157 and authenticated with 1164 on a context that is still
   open. The client asks dsclient32 for that server's address (1203, taken from
   the "HVX Server" object's "Network Address", "a.b.c.d" or "a.b.c.d:port";
   without a port NCW_DEFAULT_PORT, 998) and talks to the server's request
   service over TCP: one connection per call, one request frame, one reply
   frame (PROTOCOL.md, netcalls_wire.h). Every call is bounded: the connect
   by the connect timeout, the whole reply by the reply timeout.

   Every function returns 0 or a negative NC_ERR_* code. */
#ifndef ZELM_NETCALLS32_H
#define ZELM_NETCALLS32_H

#include <stdint.h>

#include "netcalls_wire.h"

#ifdef __cplusplus
extern "C" {
#endif

#define NC_ERR_INVALID_ARGUMENT (-901) /* null pointer, bad name, data too long */
#define NC_ERR_NO_CONNECTION (-902)    /* connection unknown, closed or not authenticated */
#define NC_ERR_UNREACHABLE (-903)      /* bad address, refused, or no connect in time */
#define NC_ERR_TIMEOUT (-904)          /* no complete reply in time */
#define NC_ERR_PROTOCOL (-905)         /* reply broke the wire rules, or the peer closed */
#define NC_ERR_NO_SUCH_SERVICE (-906)
#define NC_ERR_NO_SUCH_MODULE (-907)
#define NC_ERR_MODULE_FAILED (-908)
#define NC_ERR_BAD_REQUEST (-909)      /* the service refused the request's layout */
#define NC_ERR_REPLY_TOO_LONG (-910)   /* the reply would not fit the caller's buffer */
#define NC_ERR_SERVICE_FAILED (-911)

#define NC_DEFAULT_CONNECT_MS 3000
#define NC_DEFAULT_REPLY_MS 5000

/* Looks up a request service by name (1 to NCW_MAX_NAME printable bytes).
   serviceId, major, minor and revision may be null; they are 0 on failure.
   queryData is not used (pass null). */
int32_t NCLookupService(uint32_t connection, const char* name, uint32_t* serviceId,
                        uint16_t* major, uint16_t* minor, uint16_t* revision,
                        const void* queryData); /* 500 */

/* Sends requestLength bytes (1 to NCW_MAX_DATA) to a service. *replyLength
   is the capacity of reply on entry (values above NCW_MAX_DATA count as
   NCW_MAX_DATA) and the number of bytes received on return (0 on failure);
   nothing is written past the capacity: a longer reply fails with
   NC_ERR_REPLY_TOO_LONG. */
int32_t NCSendRequest(uint32_t connection, uint32_t serviceId, const void* request,
                      uint32_t requestLength, void* reply, uint16_t* replyLength); /* 471 */

/* Asks the server to load or unload a module by name. */
int32_t NCLoadModule(uint32_t connection, const char* module);   /* 570 */
int32_t NCUnloadModule(uint32_t connection, const char* module); /* 571 */

/* Beyond what the snap-ins use: the bounds of every later call of this
   process, in milliseconds; 0 restores the default. */
int32_t NCSetTimeouts(uint32_t connectMs, uint32_t replyMs); /* 900 */

enum {
  NC_ORD_SEND_REQUEST = 471,
  NC_ORD_LOOKUP_SERVICE = 500,
  NC_ORD_LOAD_MODULE = 570,
  NC_ORD_UNLOAD_MODULE = 571,
  NC_ORD_SET_TIMEOUTS = 900
};

#ifdef __cplusplus
}
#endif

#endif /* ZELM_NETCALLS32_H */
