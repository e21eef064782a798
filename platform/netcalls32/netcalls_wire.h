/* The wire between the server request client (netcalls32.dll) and a server's
   request service: frame layout, message types, status codes and the checks
   both sides make. Portable C (stdint only), so the Windows client and the
   native server build the same codec. PROTOCOL.md describes the same wire in
   prose. All integers are little-endian. */
#ifndef ZELM_NETCALLS_WIRE_H
#define ZELM_NETCALLS_WIRE_H

#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

#define NCW_DEFAULT_PORT 998

#define NCW_MAGIC 0x3157434Eu /* the bytes "NCW1" */
#define NCW_HEADER_BYTES 12   /* magic u32, type u16, flags u16, payload length u32 */
#define NCW_MAX_PAYLOAD 1024  /* a longer payload is a broken frame */
#define NCW_MAX_NAME 255      /* service and module names, in bytes */
#define NCW_MAX_DATA 1000     /* request and reply data of a send, in bytes */

/* Message types; a reply carries its request's type with NCW_REPLY_BIT. */
#define NCW_LOOKUP 0x0001 /* name -> service id and version */
#define NCW_SEND 0x0002   /* service id, request data -> reply data */
#define NCW_LOAD 0x0003   /* module name -> status */
#define NCW_UNLOAD 0x0004 /* module name -> status */
#define NCW_REPLY_BIT 0x8000

/* Reply payload sizes (a send reply adds its data to NCW_SEND_REPLY_FIXED). */
#define NCW_LOOKUP_REPLY_BYTES 16 /* status, id, major, minor, revision, 0 */
#define NCW_SEND_REPLY_FIXED 8    /* status, data length */
#define NCW_STATUS_REPLY_BYTES 4  /* load, unload and unknown types: status */

/* Statuses, the first field of every reply (signed 32-bit). */
#define NCW_OK 0
#define NCW_NO_SUCH_SERVICE 1 /* lookup of an unknown name, send to an unknown id */
#define NCW_NO_SUCH_MODULE 2  /* load: module unknown; unload: module not loaded */
#define NCW_MODULE_FAILED 3   /* the module was found but could not be (un)loaded */
#define NCW_BAD_REQUEST 4     /* payload breaks its type's rules, or type unknown */
#define NCW_REPLY_TOO_LONG 5  /* the service's reply exceeds the reply capacity */
#define NCW_SERVICE_FAILED 6  /* the service could not handle the request */

static inline void ncw_put_u16(unsigned char* p, uint16_t v) {
  p[0] = (unsigned char)(v & 0xFF);
  p[1] = (unsigned char)(v >> 8);
}

static inline void ncw_put_u32(unsigned char* p, uint32_t v) {
  p[0] = (unsigned char)(v & 0xFF);
  p[1] = (unsigned char)((v >> 8) & 0xFF);
  p[2] = (unsigned char)((v >> 16) & 0xFF);
  p[3] = (unsigned char)(v >> 24);
}

static inline uint16_t ncw_get_u16(const unsigned char* p) {
  return (uint16_t)(p[0] | (p[1] << 8));
}

static inline uint32_t ncw_get_u32(const unsigned char* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static inline void ncw_write_header(unsigned char* out, uint16_t type, uint32_t length) {
  ncw_put_u32(out, NCW_MAGIC);
  ncw_put_u16(out + 4, type);
  ncw_put_u16(out + 6, 0);
  ncw_put_u32(out + 8, length);
}

/* 0 when the header can start a frame: right magic, flags 0, payload length
   within NCW_MAX_PAYLOAD; -1 otherwise (the receiver drops the connection). */
static inline int ncw_read_header(const unsigned char* in, uint16_t* type, uint32_t* length) {
  if (ncw_get_u32(in) != NCW_MAGIC || ncw_get_u16(in + 6) != 0) return -1;
  if (ncw_get_u32(in + 8) > NCW_MAX_PAYLOAD) return -1;
  *type = ncw_get_u16(in + 4);
  *length = ncw_get_u32(in + 8);
  return 0;
}

/* A service or module name: 1 to NCW_MAX_NAME printable ASCII bytes. */
static inline int ncw_name_ok(const unsigned char* name, uint32_t length) {
  uint32_t i;
  if (length == 0 || length > NCW_MAX_NAME) return 0;
  for (i = 0; i < length; ++i)
    if (name[i] < 0x20 || name[i] > 0x7E) return 0;
  return 1;
}

/* Payload of a lookup, load or unload request: u16 name length, name bytes.
   Returns the payload length, or 0 when the name is not acceptable. */
static inline uint32_t ncw_encode_name(unsigned char* out, const char* name) {
  size_t n = name ? strlen(name) : 0;
  if (!ncw_name_ok((const unsigned char*)name, n > NCW_MAX_NAME ? NCW_MAX_NAME + 1 : (uint32_t)n))
    return 0;
  ncw_put_u16(out, (uint16_t)n);
  memcpy(out + 2, name, n);
  return (uint32_t)(2 + n);
}

/* The service side's check of a request payload: NCW_OK when it follows its
   type's layout exactly, NCW_BAD_REQUEST otherwise (unknown types too). */
static inline int32_t ncw_check_request(uint16_t type, const unsigned char* payload,
                                        uint32_t length) {
  switch (type) {
    case NCW_LOOKUP:
    case NCW_LOAD:
    case NCW_UNLOAD: {
      uint32_t n;
      if (length < 2) return NCW_BAD_REQUEST;
      n = ncw_get_u16(payload);
      if (length != 2 + n || !ncw_name_ok(payload + 2, n)) return NCW_BAD_REQUEST;
      return NCW_OK;
    }
    case NCW_SEND: {
      uint32_t capacity, n;
      if (length < 12) return NCW_BAD_REQUEST;
      capacity = ncw_get_u32(payload + 4);
      n = ncw_get_u32(payload + 8);
      if (capacity > NCW_MAX_DATA || n == 0 || n > NCW_MAX_DATA || length != 12 + n)
        return NCW_BAD_REQUEST;
      return NCW_OK;
    }
    default:
      return NCW_BAD_REQUEST;
  }
}

/* The client's check of a reply to a request of requestType: 0 when the
   reply's type and payload length are what that request allows (for a send,
   NCW_SEND_REPLY_FIXED plus the data length it announces), -1 otherwise. A
   send reply whose data exceeds the capacity the client asked for is a
   breach of the protocol (-2), so the client can name it apart. */
static inline int ncw_check_reply(uint16_t requestType, uint16_t replyType,
                                  const unsigned char* payload, uint32_t length,
                                  uint32_t capacity) {
  if (replyType != (uint16_t)(requestType | NCW_REPLY_BIT)) return -1;
  switch (requestType) {
    case NCW_LOOKUP:
      return length == NCW_LOOKUP_REPLY_BYTES ? 0 : -1;
    case NCW_SEND: {
      uint32_t n;
      if (length < NCW_SEND_REPLY_FIXED) return -1;
      n = ncw_get_u32(payload + 4);
      if (n > NCW_MAX_DATA || length != NCW_SEND_REPLY_FIXED + n) return -1;
      if (n > capacity) return -2;
      if (n != 0 && (int32_t)ncw_get_u32(payload) != NCW_OK) return -1;
      return 0;
    }
    case NCW_LOAD:
    case NCW_UNLOAD:
      return length == NCW_STATUS_REPLY_BYTES ? 0 : -1;
    default:
      return -1;
  }
}

/* Parses "a.b.c.d" or "a.b.c.d:port" (decimal, octets 0-255, port 1-65535,
   nothing else). ip gets the address in host order (a in the top byte);
   port is NCW_DEFAULT_PORT when none is given. 0 on success, -1 otherwise. */
static inline int ncw_parse_address(const char* text, uint32_t* ip, uint16_t* port) {
  uint32_t address = 0, p = NCW_DEFAULT_PORT;
  int part;
  if (!text) return -1;
  for (part = 0; part < 4; ++part) {
    uint32_t octet = 0;
    int digits = 0;
    while (*text >= '0' && *text <= '9') {
      octet = octet * 10 + (uint32_t)(*text++ - '0');
      if (++digits > 3 || octet > 255) return -1;
    }
    if (digits == 0) return -1;
    address = (address << 8) | octet;
    if (part < 3 && *text++ != '.') return -1;
  }
  if (*text == ':') {
    int digits = 0;
    ++text;
    p = 0;
    while (*text >= '0' && *text <= '9') {
      p = p * 10 + (uint32_t)(*text++ - '0');
      if (++digits > 5 || p > 65535) return -1;
    }
    if (digits == 0 || p == 0) return -1;
  }
  if (*text != '\0') return -1;
  *ip = address;
  *port = (uint16_t)p;
  return 0;
}

#ifdef __cplusplus
}
#endif

#endif /* ZELM_NETCALLS_WIRE_H */
