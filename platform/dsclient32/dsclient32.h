/* dsclient32.dll: the directory client. Exported by ordinal only (dsclient32.def);
   link the import library or look each function up with
   GetProcAddress(module, MAKEINTRESOURCEA(ordinal)). Every function returns 0
   or a negative directory error code (DSC_ERR_*) unless said otherwise.

   Which directory and identity a process uses:
     1. the environment variables ZELM_DIRECTORY (a database file, or the
        address of a directory on an LDAP server, "ldap://HOST:PORT/o=NAME")
        and ZELM_IDENTITY (full name of the user object the process acts as);
     2. else the REG_SZ values "Database" and "Identity" under
        HKEY_CURRENT_USER, then HKEY_LOCAL_MACHINE, key Software\Zelm\Directory;
     3. else %APPDATA%\Zelm\directory.zdb, created with the sample tree when
        missing.
   A login given with DSCSetLogin (1207) replaces the configured identity.
   With no identity, a database file's own default identity applies (the
   sample's is Admin.Acme). Configuration is read when a context is
   created; contexts created before a change keep the directory and identity
   they started with.

   On an LDAP server the identity is proved: the context binds with the
   identity's password on its first call, which fails with -672 for a wrong
   or missing password. The password comes from DSCSetLogin, else from the
   first line of the file ZELM_LDAP_PASSWORD_FILE names (for tests and
   scripts; never a command line). No identity binds as the directory's
   administrator, which acts as the directory's supervisor (DSCWhoAmI names
   it). Every wait for the server is bounded (10 s, or ZELM_LDAP_TIMEOUT_MS
   milliseconds): a server that is down, silent or breaks off an answer
   gives -632, and for 5 s after such a failure calls fail at once instead
   of waiting again. DSCGetErrorText (1208) tells why a call failed.

   Names are typeless dotted names resolved against the context's name
   context: "[Root]" is the root, a leading "." names from the root, a name
   context of "[Root]", "" or "." takes names as complete, a name context
   ending in "." ("Sales.Acme.") takes names that already end with it as
   complete and others as relative to it, any other name context is appended
   to the name, and each trailing "." of a name climbs one level first. */
#ifndef ZELM_DSCLIENT32_H
#define ZELM_DSCLIENT32_H

#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Sizes of what the library copies out: give buffers of at least these bytes.
   The directory refuses longer names and values, so these always suffice. */
#define DSC_NAME_BYTES 257       /* object names: 256 characters and a NUL */
#define DSC_SCHEMA_NAME_BYTES 33 /* attribute and class names */
#define DSC_VALUE_BYTES 1028     /* attribute values: 1,027 characters and a NUL */
#define DSC_PASSWORD_BYTES 256   /* passwords a login takes: 255 characters and a NUL */

/* Context keys (1003, 1004). */
#define DSC_KEY_OPTIONS 1      /* value: uint32_t option bits; kept and reported,
                                  names are always typeless and dotted */
#define DSC_KEY_NAME_CONTEXT 3 /* value: char text; get copies up to DSC_NAME_BYTES + 2 */

/* Operations a buffer is prepared for (1005), and iterations (1072). */
#define DSC_OP_READ 3
#define DSC_OP_LIST 5
#define DSC_OP_ADD_OBJECT 7
#define DSC_OP_MODIFY_OBJECT 9

/* Change codes (1016). */
#define DSC_CHANGE_ADD_ATTRIBUTE 0    /* add the values that follow */
#define DSC_CHANGE_REMOVE_ATTRIBUTE 1 /* remove the attribute and all its values */
#define DSC_CHANGE_ADD_VALUE 2
#define DSC_CHANGE_REMOVE_VALUE 3

/* Value syntaxes (1017, 1013). 1 and 3 are interchangeable for text
   attributes; 20 is only for "Object Class" when adding an object. The
   directory keeps the syntax each value was written with, and a read gives
   it back (1013): values of one attribute written with different syntaxes
   come as one attribute item per run of values of one syntax. */
#define DSC_SYNTAX_DIST_NAME 1
#define DSC_SYNTAX_CE_STRING 2
#define DSC_SYNTAX_CI_STRING 3
#define DSC_SYNTAX_CLASS_NAME 20

/* Information kinds of a read (1028). */
#define DSC_INFO_NAMES 0
#define DSC_INFO_NAMES_AND_VALUES 1

/* Rights (1046): for "[Entry Rights]" ... */
#define DSC_ENTRY_BROWSE 0x01
#define DSC_ENTRY_CREATE 0x02
#define DSC_ENTRY_DELETE 0x04
#define DSC_ENTRY_RENAME 0x08
#define DSC_ENTRY_SUPERVISOR 0x10
/* ... and for an attribute or "[All Attributes Rights]". */
#define DSC_ATTR_COMPARE 0x01
#define DSC_ATTR_READ 0x02
#define DSC_ATTR_WRITE 0x04
#define DSC_ATTR_ADD_SELF 0x08
#define DSC_ATTR_SUPERVISOR 0x20

/* Object flags (DSCObjectInfo). */
#define DSC_OBJECT_CONTAINER 0x01

#define DSC_NO_ITERATION (-1)

/* Error codes. */
#define DSC_ERR_BUFFER_FULL (-304)
#define DSC_ERR_BAD_SYNTAX (-306)
#define DSC_ERR_NO_CONTEXT (-328)
#define DSC_ERR_NO_SUCH_ENTRY (-601)
#define DSC_ERR_NO_SUCH_VALUE (-602)
#define DSC_ERR_NO_SUCH_ATTRIBUTE (-603)
#define DSC_ERR_NO_SUCH_CLASS (-604)
#define DSC_ERR_ENTRY_EXISTS (-606)
#define DSC_ERR_ILLEGAL_ATTRIBUTE (-608)
#define DSC_ERR_SYNTAX_VIOLATION (-613)
#define DSC_ERR_DUPLICATE_VALUE (-614)
#define DSC_ERR_BAD_NAME (-623)
#define DSC_ERR_SYSTEM_FAILURE (-632)
#define DSC_ERR_INVALID_REQUEST (-641)
#define DSC_ERR_INSUFFICIENT_BUFFER (-649)
#define DSC_ERR_NO_ACCESS (-672)

/* A request or result buffer. Allocated with its data by 1006, freed by 1007,
   prepared by 1005. Data layout (all numbers little-endian uint32_t):

   request, read (op 3):    count, then per attribute: name length, name bytes
   request, add (op 7):     count, then per attribute: name length, name bytes,
                            value count, then per value: syntax, length, bytes
   request, modify (op 9):  count, then per change: change code, name length,
                            name bytes, value count, then values as for add
   result of a read (1028): count, then per attribute: name length, name bytes,
                            syntax, value count, then per value: length, bytes
                            (an attribute may come as several items: when the
                            result is continued, or per run of one syntax)
   result of a list (1023): count, then per object: name length, name bytes,
                            attribute count, object flags, subordinate count,
                            class length, class bytes

   Names and values carry no NUL in the data. A put (1015, 1016, 1017) that
   answers DSC_ERR_BUFFER_FULL leaves the buffer exactly as it was. To grow a
   buffer, allocate a larger one and copy the old one's state and the first
   `length` bytes of its data into it: DSCBufferCopy below does this. */
typedef struct DSCBuffer {
  uint32_t size;       /* bytes of data; fixed at allocation */
  uint32_t operation;  /* what the buffer was prepared for or holds */
  uint32_t length;     /* bytes of data in use: where the next put writes */
  uint32_t cursor;     /* where the next take reads; 0 = not started */
  uint32_t itemAt;     /* offset of the value count of the attribute or change
                          being filled; 0 = none */
  uint32_t itemsLeft;  /* result walk: attributes or objects not yet taken */
  uint32_t valuesLeft; /* result walk: values of the current attribute not yet taken */
  uint32_t reserved;
  unsigned char* data; /* size bytes, part of the same allocation as the buffer */
} DSCBuffer;

/* Copies src's state and contents into dst (larger, just allocated). 0, or
   DSC_ERR_BUFFER_FULL when dst is too small. */
static inline int32_t DSCBufferCopy(DSCBuffer* dst, const DSCBuffer* src) {
  if (dst->size < src->length) return DSC_ERR_BUFFER_FULL;
  dst->operation = src->operation;
  dst->length = src->length;
  dst->cursor = src->cursor;
  dst->itemAt = src->itemAt;
  dst->itemsLeft = src->itemsLeft;
  dst->valuesLeft = src->valuesLeft;
  if (src->length) memcpy(dst->data, src->data, src->length);
  return 0;
}

typedef struct DSCObjectInfo {
  uint32_t flags;            /* DSC_OBJECT_* */
  uint32_t subordinateCount; /* objects directly below */
  char className[DSC_SCHEMA_NAME_BYTES]; /* "[Root]" for the root */
} DSCObjectInfo;

/* Contexts. A context carries the identity, a name context (starting at
   "[Root]"), option bits, its iterations and its server connections. */
int32_t DSCCreateContext(void);                                           /* 1001: handle > 0, or -328 */
int32_t DSCFreeContext(int32_t context);                                  /* 1002 */
int32_t DSCGetContextKey(int32_t context, int32_t key, void* value);      /* 1003 */
int32_t DSCSetContextKey(int32_t context, int32_t key, const void* value); /* 1004 */

/* Buffers. */
int32_t DSCInitBuffer(int32_t context, uint32_t operation, DSCBuffer* buffer); /* 1005 */
int32_t DSCAllocBuffer(uint32_t size, DSCBuffer** buffer);                     /* 1006 */
int32_t DSCFreeBuffer(DSCBuffer* buffer);                                      /* 1007 */
int32_t DSCPutAttributeName(int32_t context, DSCBuffer* buffer, const char* name); /* 1015 */
int32_t DSCPutChange(int32_t context, DSCBuffer* buffer, uint32_t change,
                     const char* name);                                        /* 1016 */
int32_t DSCPutValue(int32_t context, DSCBuffer* buffer, uint32_t syntax,
                    const char* value);                                        /* 1017 */

/* Reading. *iteration starts at -1 and is -1 again once nothing more follows;
   otherwise call again with it (and the same arguments) for the rest. A
   result too small for even one value answers -649 and leaves *iteration as
   it was. With allAttributes non-zero, names is ignored (may be NULL). */
int32_t DSCRead(int32_t context, const char* object, uint32_t infoKind, int32_t allAttributes,
                DSCBuffer* names, int32_t* iteration, DSCBuffer* result);     /* 1028 */
int32_t DSCGetAttributeCount(int32_t context, DSCBuffer* result, uint32_t* count); /* 1008 */
/* Takes the next attribute of a read result (skipping values not taken).
   name: DSC_SCHEMA_NAME_BYTES. -603 when none is left. */
int32_t DSCGetAttributeName(int32_t context, DSCBuffer* result, char* name,
                            uint32_t* valueCount, uint32_t* syntax);          /* 1013 */
/* Takes the next value of the current attribute. value: DSC_VALUE_BYTES.
   -602 when none is left. */
int32_t DSCGetValue(int32_t context, DSCBuffer* result, uint32_t syntax, char* value); /* 1022 */

/* Writing: iteration and moreToCome are not used (pass NULL and 0). */
int32_t DSCAddObject(int32_t context, const char* object, int32_t* iteration,
                     int32_t moreToCome, DSCBuffer* request);                 /* 1024 */
int32_t DSCModifyObject(int32_t context, const char* object, int32_t* iteration,
                        int32_t moreToCome, DSCBuffer* request);              /* 1026 */

/* Identity of an object: 0 when it exists. Either output may be NULL;
   distinguishedName: DSC_NAME_BYTES, the full name without a leading ".". */
int32_t DSCReadObjectInfo(int32_t context, const char* object, DSCObjectInfo* info,
                          char* distinguishedName);                          /* 1029 */

/* Listing the objects directly under a container, in name order. */
int32_t DSCList(int32_t context, const char* container, int32_t* iteration,
                DSCBuffer* result);                                           /* 1023 */
int32_t DSCGetObjectCount(int32_t context, DSCBuffer* result, uint32_t* count); /* 1011 */
/* name: DSC_NAME_BYTES, the object's own name (leftmost part). -601 when none is left. */
int32_t DSCGetObjectName(int32_t context, DSCBuffer* result, char* name,
                         uint32_t* attributeCount, DSCObjectInfo* info);      /* 1014 */
int32_t DSCCloseIteration(int32_t context, int32_t iteration, uint32_t operation); /* 1072 */

/* Effective rights of trustee (NULL or "" = the context's identity) to an
   attribute, "[All Attributes Rights]" or "[Entry Rights]" of the object. */
int32_t DSCGetEffectiveRights(int32_t context, const char* trustee, const char* object,
                              const char* attribute, uint32_t* rights);       /* 1046 */

/* Server connections: to an object of class "HVX Server" with a
   "Network Address"; closed with the context at the latest. */
int32_t DSCOpenConnection(int32_t context, const char* server, uint32_t* connection); /* 1157 */
/* Succeeds when the context's identity is a user object of the directory. */
int32_t DSCAuthenticateConnection(int32_t context, uint32_t connection);    /* 1164 */

/* Beyond what the snap-ins use. */
int32_t DSCRemoveObject(int32_t context, const char* object);                /* 1201 */
/* rights 0 withdraws the trustee's grant for that scope. */
int32_t DSCSetRights(int32_t context, const char* object, const char* trustee,
                     const char* scope, uint32_t rights);                    /* 1202 */
/* The address ("a.b.c.d" or "a.b.c.d:port") of an authenticated connection's
   server, for the server request client. -649 when it does not fit. */
int32_t DSCGetConnectionAddress(uint32_t connection, char* address, uint32_t size); /* 1203 */
int32_t DSCCloseConnection(int32_t context, uint32_t connection);          /* 1204 */
/* The context's identity (DSC_NAME_BYTES; "" when anonymous). */
int32_t DSCWhoAmI(int32_t context, char* identity);                         /* 1205 */
/* The database file or directory address a new context would use, by the
   rules above, whether or not it can be opened. -649 when it does not fit
   size bytes. */
int32_t DSCGetDatabasePath(char* path, uint32_t size);                      /* 1206 */
/* The login of contexts this process creates from now on: identity (a user
   name, resolved like other names; "" for the directory's administrator)
   and its password (at most DSC_PASSWORD_BYTES - 1 characters, kept in this
   process's memory only). identity NULL forgets the login, so the
   configuration applies again. A wrong password shows on the first call of
   a context (-672). -623 for a bad name, -641 for a password too long. */
int32_t DSCSetLogin(const char* identity, const char* password);            /* 1207 */
/* Why the context's last failed call failed, in words ("" when nothing
   more than its code is known). -649 when it does not fit size bytes. */
int32_t DSCGetErrorText(int32_t context, char* text, uint32_t size);        /* 1208 */

/* Ordinals, for GetProcAddress(module, MAKEINTRESOURCEA(...)). */
enum {
  DSC_ORD_CREATE_CONTEXT = 1001, DSC_ORD_FREE_CONTEXT = 1002, DSC_ORD_GET_CONTEXT_KEY = 1003,
  DSC_ORD_SET_CONTEXT_KEY = 1004, DSC_ORD_INIT_BUFFER = 1005, DSC_ORD_ALLOC_BUFFER = 1006,
  DSC_ORD_FREE_BUFFER = 1007, DSC_ORD_GET_ATTRIBUTE_COUNT = 1008, DSC_ORD_GET_OBJECT_COUNT = 1011,
  DSC_ORD_GET_ATTRIBUTE_NAME = 1013, DSC_ORD_GET_OBJECT_NAME = 1014,
  DSC_ORD_PUT_ATTRIBUTE_NAME = 1015, DSC_ORD_PUT_CHANGE = 1016, DSC_ORD_PUT_VALUE = 1017,
  DSC_ORD_GET_VALUE = 1022, DSC_ORD_LIST = 1023, DSC_ORD_ADD_OBJECT = 1024,
  DSC_ORD_MODIFY_OBJECT = 1026, DSC_ORD_READ = 1028, DSC_ORD_READ_OBJECT_INFO = 1029,
  DSC_ORD_CLOSE_ITERATION = 1072, DSC_ORD_GET_EFFECTIVE_RIGHTS = 1046,
  DSC_ORD_OPEN_CONNECTION = 1157, DSC_ORD_AUTHENTICATE_CONNECTION = 1164,
  DSC_ORD_REMOVE_OBJECT = 1201, DSC_ORD_SET_RIGHTS = 1202, DSC_ORD_GET_CONNECTION_ADDRESS = 1203,
  DSC_ORD_CLOSE_CONNECTION = 1204, DSC_ORD_WHO_AM_I = 1205, DSC_ORD_GET_DATABASE_PATH = 1206,
  DSC_ORD_SET_LOGIN = 1207, DSC_ORD_GET_ERROR_TEXT = 1208
};

#ifdef __cplusplus
}
#endif

#endif /* ZELM_DSCLIENT32_H */
