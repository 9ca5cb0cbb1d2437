/*
 * Our own declarations of the Oracle Call Interface, as far as this system calls it: the
 * scalar types, the opaque handle and descriptor types, the constants and the functions.
 * Names, numeric values and parameter lists are OCI's, so code written against this header
 * runs unchanged on an Oracle client library and on liboralite.so.
 *
 * The functions are not linked at build time by the product: the Oracle destination looks
 * them up by name at run time. liboralite.so exports exactly these names with C linkage.
 *
 * Text: in an environment created with OCI_UTF16 every text is UTF-16 and every length that
 * OCI takes or returns for text (statement, names, buffers, placeholders, error messages) is
 * a count of bytes, never of characters. LOB amounts and offsets of CLOBs are the exception:
 * they count characters (UTF-16 code units).
 */
#ifndef TARVOLIN_OCI_OCI_H
#define TARVOLIN_OCI_OCI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Scalar types ------------------------------------------------------------------------ */
/* Fixed-width integers of OCI's prototypes; sword is the result of every function. */
typedef uint8_t ub1;
typedef int8_t sb1;
typedef uint16_t ub2;
typedef int16_t sb2;
typedef uint32_t ub4;
typedef int32_t sb4;
typedef uint64_t ub8;
typedef int64_t sb8;
typedef int sword;
typedef unsigned char OraText;
typedef void dvoid;

/* ---- Handle and descriptor types (opaque) ------------------------------------------------ */
/* Handles are allocated with OCIHandleAlloc, descriptors with OCIDescriptorAlloc; both are
   only ever used through pointers. */
typedef struct OCIEnv OCIEnv;               /* environment: encoding, parent of all handles */
typedef struct OCIError OCIError;           /* error records of the last failed call */
typedef struct OCISvcCtx OCISvcCtx;         /* service context: one logged-on session */
typedef struct OCIStmt OCIStmt;             /* one prepared statement */
typedef struct OCIBind OCIBind;             /* one input or output bind of a statement */
typedef struct OCIDefine OCIDefine;         /* one output column buffer of a query */
typedef struct OCIDescribe OCIDescribe;     /* explicit describe (not used by the system) */
typedef struct OCIServer OCIServer;         /* connection to a server */
typedef struct OCISession OCISession;       /* user session (authentication) */
typedef struct OCITrans OCITrans;           /* transaction */
typedef struct OCISnapshot OCISnapshot;     /* read snapshot (always passed as NULL) */
typedef struct OCIParam OCIParam;           /* parameter descriptor of a described column */
typedef struct OCILobLocator OCILobLocator; /* LOB locator descriptor */
typedef struct OCIRowid OCIRowid;           /* ROWID descriptor */

/* ---- Results of every OCI function ------------------------------------------------------- */
#define OCI_SUCCESS 0
#define OCI_SUCCESS_WITH_INFO 1 /* done; a warning (e.g. ORA-24344) waits in the error handle */
#define OCI_NO_DATA 100         /* no (more) rows; OCIErrorGet: no such record */
#define OCI_ERROR (-1)          /* failed; details through OCIErrorGet */
#define OCI_INVALID_HANDLE (-2) /* a handle argument is bad; no diagnostics */
#define OCI_NEED_DATA 99        /* piecewise operation wants the next piece */
#define OCI_STILL_EXECUTING (-3123)
#define OCI_CONTINUE (-24200) /* what a user callback returns to let OCI go on */

/* ---- Environment modes and handle types --------------------------------------------------- */
#define OCI_DEFAULT 0x00000000
#define OCI_THREADED 0x00000001
#define OCI_OBJECT 0x00000002
#define OCI_EVENTS 0x00000004
#define OCI_UTF16 0x00004000

#define OCI_HTYPE_ENV 1
#define OCI_HTYPE_ERROR 2
#define OCI_HTYPE_SVCCTX 3
#define OCI_HTYPE_STMT 4
#define OCI_HTYPE_BIND 5
#define OCI_HTYPE_DEFINE 6
#define OCI_HTYPE_DESCRIBE 7
#define OCI_HTYPE_SERVER 8
#define OCI_HTYPE_SESSION 9
#define OCI_HTYPE_AUTHINFO OCI_HTYPE_SESSION
#define OCI_HTYPE_TRANS 10

/* ---- Descriptor types --------------------------------------------------------------------- */
#define OCI_DTYPE_LOB 50
#define OCI_DTYPE_PARAM 53
#define OCI_DTYPE_ROWID 54
#define OCI_DTYPE_FILE 56
#define OCI_DTYPE_INTERVAL_YM 62
#define OCI_DTYPE_INTERVAL_DS 63
#define OCI_DTYPE_TIMESTAMP 68
#define OCI_DTYPE_TIMESTAMP_TZ 69
#define OCI_DTYPE_TIMESTAMP_LTZ 70

/* ---- Character sets and character-set forms ----------------------------------------------- */
#define OCI_UTF16ID 1000 /* charset id that forces UTF-16 on a bind, define or LOB call */
#define SQLCS_IMPLICIT 1 /* database character set (CHAR, VARCHAR2, CLOB) */
#define SQLCS_NCHAR 2    /* national character set (NCHAR, NVARCHAR2, NCLOB) */
#define SQLCS_EXPLICIT 3
#define SQLCS_FLEXIBLE 4

/* ---- Authentication ----------------------------------------------------------------------- */
#define OCI_CRED_RDBMS 1
#define OCI_CRED_EXT 2

/* ---- Statement preparation, fetch orientation, pieces ------------------------------------- */
#define OCI_NTV_SYNTAX 1

#define OCI_FETCH_CURRENT 0x01
#define OCI_FETCH_NEXT 0x02
#define OCI_FETCH_FIRST 0x04
#define OCI_FETCH_LAST 0x08
#define OCI_FETCH_PRIOR 0x10
#define OCI_FETCH_ABSOLUTE 0x20
#define OCI_FETCH_RELATIVE 0x40

#define OCI_ONE_PIECE 0
#define OCI_FIRST_PIECE 1
#define OCI_NEXT_PIECE 2
#define OCI_LAST_PIECE 3

/* ---- OCIStmtExecute modes ------------------------------------------------------------------ */
#define OCI_BATCH_MODE 0x00000001
#define OCI_EXACT_FETCH 0x00000002
#define OCI_STMT_SCROLLABLE_READONLY 0x00000008
#define OCI_DESCRIBE_ONLY 0x00000010
#define OCI_COMMIT_ON_SUCCESS 0x00000020
#define OCI_BATCH_ERRORS 0x00000080
#define OCI_PARSE_ONLY 0x00000100

/* ---- Bind and define modes ---------------------------------------------------------------- */
#define OCI_DATA_AT_EXEC 0x00000002  /* OCIBindByName/ByPos: data through OCIBindDynamic */
#define OCI_DYNAMIC_FETCH 0x00000002 /* OCIDefineByPos: data through OCIDefineDynamic */

#define OCI_PARAM_IN 0x01
#define OCI_PARAM_OUT 0x02

/* ---- Null indicators ---------------------------------------------------------------------- */
#define OCI_IND_NOTNULL 0
#define OCI_IND_NULL (-1)

/* ---- Attributes: the same number means different things on different handle types --------- */
/* on a parameter descriptor (a described select-list column) */
#define OCI_ATTR_DATA_SIZE 1     /* ub2: maximum size in bytes */
#define OCI_ATTR_DATA_TYPE 2     /* ub2: SQLT_ code of the column */
#define OCI_ATTR_NAME 4          /* OraText* + ub4 byte length, not NUL-terminated */
#define OCI_ATTR_PRECISION 5     /* sb2 for a select-list column */
#define OCI_ATTR_SCALE 6         /* sb1 */
#define OCI_ATTR_IS_NULL 7       /* ub1: 1 when the column accepts NULL */
#define OCI_ATTR_TYPE_NAME 8     /* OraText* + ub4 */
#define OCI_ATTR_SCHEMA_NAME 9   /* OraText* + ub4 */
#define OCI_ATTR_FSPRECISION 16  /* ub1: fractional seconds precision of a TIMESTAMP */
#define OCI_ATTR_LFPRECISION 17  /* ub1: leading field precision of an INTERVAL */
#define OCI_ATTR_CHARSET_ID 31   /* ub2 (also bind and define handles) */
#define OCI_ATTR_CHARSET_FORM 32 /* ub1 (also bind and define handles) */
#define OCI_ATTR_CHAR_USED 285   /* ub1: 1 when the length counts characters */
#define OCI_ATTR_CHAR_SIZE 286   /* ub2: declared length in characters */
/* on any handle */
#define OCI_ATTR_ENV 5 /* OCIEnv* */
/* on a service context */
#define OCI_ATTR_SERVER 6  /* OCIServer*, set with size 0 */
#define OCI_ATTR_SESSION 7 /* OCISession*, set with size 0 */
#define OCI_ATTR_TRANS 8   /* OCITrans* */
/* on a session handle */
#define OCI_ATTR_USERNAME 22 /* text + byte length */
#define OCI_ATTR_PASSWORD 23 /* text + byte length */
/* on a statement handle */
#define OCI_ATTR_ROW_COUNT 9            /* ub4: rows of the last DML, or rows fetched so far */
#define OCI_ATTR_PREFETCH_ROWS 11       /* ub4 */
#define OCI_ATTR_PREFETCH_MEMORY 13     /* ub4 */
#define OCI_ATTR_PARAM_COUNT 18         /* ub4: number of select-list columns */
#define OCI_ATTR_ROWID 19               /* OCIRowid* of the last row touched */
#define OCI_ATTR_STMT_TYPE 24           /* ub2: OCI_STMT_ code */
#define OCI_ATTR_NUM_DML_ERRORS 73      /* ub4 */
#define OCI_ATTR_PARSE_ERROR_OFFSET 129 /* ub2: byte offset of a syntax error */
#define OCI_ATTR_ROWS_FETCHED 197       /* ub4: rows of the last fetch call */
#define OCI_ATTR_STMT_IS_RETURNING 218  /* ub1 flag */
#define OCI_ATTR_UB8_ROW_COUNT 457      /* ub8 */
/* on a bind handle */
#define OCI_ATTR_MAXDATA_SIZE 33  /* sb4 */
#define OCI_ATTR_ROWS_RETURNED 42 /* ub4: rows returned into a RETURNING bind */
/* on an error handle of a batch error */
#define OCI_ATTR_DML_ROW_OFFSET 74 /* ub4 */

/* ---- OCI_ATTR_STMT_TYPE values ------------------------------------------------------------ */
#define OCI_STMT_UNKNOWN 0
#define OCI_STMT_SELECT 1
#define OCI_STMT_UPDATE 2
#define OCI_STMT_DELETE 3
#define OCI_STMT_INSERT 4
#define OCI_STMT_CREATE 5
#define OCI_STMT_DROP 6
#define OCI_STMT_ALTER 7
#define OCI_STMT_BEGIN 8
#define OCI_STMT_DECLARE 9
#define OCI_STMT_CALL 10
#define OCI_STMT_MERGE 16

/* ---- External data types (the dty of binds and defines, and OCI_ATTR_DATA_TYPE) ----------- */
#define SQLT_CHR 1  /* VARCHAR2 text, length given separately */
#define SQLT_NUM 2  /* NUMBER in its 22-byte internal form */
#define SQLT_INT 3  /* signed integer of 1, 2, 4 or 8 bytes */
#define SQLT_FLT 4  /* float or double */
#define SQLT_STR 5  /* NUL-terminated text */
#define SQLT_VNU 6  /* NUMBER with a length byte */
#define SQLT_PDN 7  /* packed decimal */
#define SQLT_LNG 8  /* LONG */
#define SQLT_VCS 9  /* text with a 2-byte length prefix */
#define SQLT_RID 11 /* ROWID (wire form) */
#define SQLT_DAT 12 /* 7-byte DATE */
#define SQLT_VBI 15 /* binary with a 2-byte length prefix */
#define SQLT_BFLOAT 21
#define SQLT_BDOUBLE 22
#define SQLT_BIN 23 /* RAW */
#define SQLT_LBI 24 /* LONG RAW */
#define SQLT_UIN 68 /* unsigned integer */
#define SQLT_LVC 94 /* text with a 4-byte length prefix */
#define SQLT_LVB 95 /* binary with a 4-byte length prefix */
#define SQLT_AFC 96 /* CHAR (blank-padded) */
#define SQLT_AVC 97 /* CHAR, NUL-terminated */
#define SQLT_IBFLOAT 100
#define SQLT_IBDOUBLE 101
#define SQLT_CUR 102
#define SQLT_RDD 104 /* ROWID descriptor (OCIRowid*) */
#define SQLT_NTY 108
#define SQLT_REF 110
#define SQLT_CLOB 112 /* CLOB locator (OCILobLocator*) */
#define SQLT_BLOB 113 /* BLOB locator (OCILobLocator*) */
#define SQLT_BFILEE 114
#define SQLT_RSET 116
#define SQLT_NCO 122
#define SQLT_VST 155
#define SQLT_ODT 156
#define SQLT_DATE 184
#define SQLT_TIME 185
#define SQLT_TIME_TZ 186
#define SQLT_TIMESTAMP 187
#define SQLT_TIMESTAMP_TZ 188
#define SQLT_INTERVAL_YM 189
#define SQLT_INTERVAL_DS 190
#define SQLT_TIMESTAMP_LTZ 232
#define SQLT_REC 250
#define SQLT_TAB 251
#define SQLT_BOL 252

/* ---- User callbacks ----------------------------------------------------------------------- */
/* Input data of an OCI_DATA_AT_EXEC bind, asked once per iteration. Sets *bufpp, *alenp
   (bytes), *piecep (OCI_ONE_PIECE) and *indp; returns OCI_CONTINUE. */
typedef sb4 (*OCICallbackInBind)(void* ictxp, OCIBind* bindp, ub4 iter, ub4 index, void** bufpp,
                                 ub4* alenp, ub1* piecep, void** indp);
/* Output data of an OCI_DATA_AT_EXEC bind (RETURNING ... INTO), asked per returned row: sets
 *bufpp, *alenpp (a caller-owned ub4 holding the buffer size in, the data size out),
 *piecep, *indpp and *rcodepp; returns OCI_CONTINUE. */
typedef sb4 (*OCICallbackOutBind)(void* octxp, OCIBind* bindp, ub4 iter, ub4 index, void** bufpp,
                                  ub4** alenpp, ub1* piecep, void** indpp, ub2** rcodepp);
/* Streaming LOB read and write callbacks. */
typedef sb4 (*OCICallbackLobRead)(void* ctxp, const void* bufp, ub4 len, ub1 piece);
typedef sb4 (*OCICallbackLobWrite)(void* ctxp, void* bufp, ub4* lenp, ub1* piece);

/* ---- Environment and handles -------------------------------------------------------------- */
sword OCIEnvCreate(OCIEnv** envhpp, ub4 mode, void* ctxp, void* (*malocfp)(void* ctxp, size_t size),
                   void* (*ralocfp)(void* ctxp, void* memptr, size_t newsize),
                   void (*mfreefp)(void* ctxp, void* memptr), size_t xtramem_sz, void** usrmempp);
sword OCIHandleAlloc(const void* parenth, void** hndlpp, ub4 type, size_t xtramem_sz,
                     void** usrmempp);
sword OCIHandleFree(void* hndlp, ub4 type);
sword OCIDescriptorAlloc(const void* parenth, void** descpp, ub4 type, size_t xtramem_sz,
                         void** usrmempp);
sword OCIDescriptorFree(void* descp, ub4 type);
sword OCIAttrGet(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep, ub4 attrtype,
                 OCIError* errhp);
sword OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size, ub4 attrtype,
                 OCIError* errhp);

/* ---- Errors ------------------------------------------------------------------------------- */
/* Record recordno (from 1) of an error or environment handle: *errcodep = the ORA number,
   bufp = "ORA-nnnnn: text\n" NUL-terminated (bufsiz in bytes). OCI_NO_DATA when no record. */
sword OCIErrorGet(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep, OraText* bufp,
                  ub4 bufsiz, ub4 type);

/* ---- Connection and session --------------------------------------------------------------- */
sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink, sb4 dblink_len,
                      ub4 mode);
sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4 mode);
sword OCILogon(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const OraText* username,
               ub4 uname_len, const OraText* password, ub4 passwd_len, const OraText* dbname,
               ub4 dbname_len);
sword OCILogoff(OCISvcCtx* svchp, OCIError* errhp);
sword OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt, ub4 mode);
sword OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 mode);
sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);

/* ---- Statements --------------------------------------------------------------------------- */
sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len,
                     ub4 language, ub4 mode);
sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 rowoff,
                     const OCISnapshot* snap_in, OCISnapshot* snap_out, ub4 mode);
sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4 mode);
sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, sb4 fetchOffset,
                    ub4 mode);
sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp, ub4 pos);

/* ---- Binds and defines -------------------------------------------------------------------- */
sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp, const OraText* placeholder,
                    sb4 placeh_len, void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp,
                    ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode);
sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp, ub4 position, void* valuep,
                   sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,
                   ub4* curelep, ub4 mode);
/* 12c and later: 64-bit value size and 32-bit actual lengths, for values over 64 KB. */
sword OCIBindByName2(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp, const OraText* placeholder,
                     sb4 placeh_len, void* valuep, sb8 value_sz, ub2 dty, void* indp, ub4* alenp,
                     ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode);
sword OCIBindByPos2(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp, ub4 position, void* valuep,
                    sb8 value_sz, ub2 dty, void* indp, ub4* alenp, ub2* rcodep, ub4 maxarr_len,
                    ub4* curelep, ub4 mode);
/* Array binds of structures: element i of each array lies i skips (bytes) from its start. */
sword OCIBindArrayOfStruct(OCIBind* bindp, OCIError* errhp, ub4 pvskip, ub4 indskip, ub4 alskip,
                           ub4 rcskip);
sword OCIBindDynamic(OCIBind* bindp, OCIError* errhp, void* ictxp, OCICallbackInBind icbfp,
                     void* octxp, OCICallbackOutBind ocbfp);
sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnpp, OCIError* errhp, ub4 position,
                     void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* rlenp, ub2* rcodep,
                     ub4 mode);

/* ---- Large objects ------------------------------------------------------------------------ */
/* offset from 1; amounts in characters for a CLOB, bytes for a BLOB; buffer sizes in bytes. */
sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset,
                 void* bufp, ub4 bufl, void* ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm);
sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset,
                  void* bufp, ub4 buflen, ub1 piece, void* ctxp, OCICallbackLobWrite cbfp, ub2 csid,
                  ub1 csfrm);
sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp);
sword OCILobTrim(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4 newlen);
sword OCILobCharSetForm(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub1* csfrm);

/* ---- Server calls -------------------------------------------------------------------------- */
/* Whether the connection and the server are alive (one round trip). */
sword OCIPing(OCISvcCtx* svchp, OCIError* errhp, ub4 mode);
/* The server's version banner, NUL-terminated, into bufp of bufsz bytes; hndltype is
   OCI_HTYPE_SVCCTX or OCI_HTYPE_SERVER for hndlp. */
sword OCIServerVersion(void* hndlp, OCIError* errhp, OraText* bufp, ub4 bufsz, ub1 hndltype);

/* ---- ROWIDs ------------------------------------------------------------------------------- */
/* The 18-character text of a ROWID descriptor; *outbflp: buffer size in, bytes written out. */
sword OCIRowidToChar(OCIRowid* rowidDesc, OraText* outbfp, ub2* outbflp, OCIError* errhp);

#ifdef __cplusplus
}
#endif

#endif /* TARVOLIN_OCI_OCI_H */
