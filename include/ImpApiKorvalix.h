/*
 * ImpApiKorvalix: the import plug-in's host interface.
 *
 * A host loads the library (ImpApiKorvalix.dll on 32-bit Windows, libImpApiKorvalix.so on Linux),
 * finds the seven exports by name, and calls them on its user-interface thread, one at a time.
 * All strings are zero-terminated Windows-1252 byte strings owned by the caller.
 *
 * Calling convention on 32-bit Windows: every export and the progress callback use __stdcall
 * (the callee removes its arguments). AppVersionCheck is the exception: its argument arrives in
 * EAX, its result leaves in EAX and the stack is not touched. GCC and Clang can call it directly
 * through the KX_REGISTER attribute below; other compilers need a small assembly thunk.
 * On Linux there is only the platform's C calling convention.
 */
#ifndef IMPAPIKORVALIX_H
#define IMPAPIKORVALIX_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define KX_CALL __stdcall
#if defined(__GNUC__)
#define KX_REGISTER __attribute__((regparm(1), cdecl))
#else
#define KX_REGISTER /* needs a thunk: argument and result in EAX */
#endif
#else
#define KX_CALL
#define KX_REGISTER
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes: 0 success, negative failures; GetExportErrorMsg gives their texts. */
#define KX_VERSION_INFO 40300     /* interface version returned by VersionInfo */
#define KX_MIN_HOST_VERSION 40339 /* lowest host version AppVersionCheck accepts */

/* Buffer the host passes to GetExportErrorMsg: 1024 bytes. A longer text is cut at 1023 bytes
 * and always zero-terminated; nothing is written beyond the 1024th byte. */
#define KX_ERROR_TEXT_BUFFER_SIZE 1024

/* Buffers of ApiDataDialog (at least this many bytes each, zero included). */
#define KX_USER_NAME_BUFFER_SIZE 128
#define KX_PASSWORD_BUFFER_SIZE 128
#define KX_CUSTOM_DATA_BUFFER_SIZE 4096

/* Progress message kinds sent through the callback. */
#define KX_PROGRESS_STATUS 1   /* status line; value: overall percent or 0 */
#define KX_PROGRESS_POSITION 2 /* position only; value: overall percent 5..95; text empty */
#define KX_PROGRESS_LOG 3      /* diagnostic log line */
#define KX_PROGRESS_ERROR 4    /* failure description */

/* The host's progress function. text is never null and valid only during the call. */
typedef void(KX_CALL* ProgressCallback)(int32_t kind, int32_t value, const char* text);

/* Ordinal 1. Registers (or with null unregisters) the progress callback. Always 0. */
int32_t KX_CALL RegProgrCallback(ProgressCallback callback);

/* Ordinal 2. Writes the message of a result code into buffer (KX_ERROR_TEXT_BUFFER_SIZE bytes).
 * 0 when a text was written, -1 when the code has none (the buffer is then untouched). */
int32_t KX_CALL GetExportErrorMsg(int32_t code, char* buffer);

/* Ordinal 3. One import run. lastImport points to the host's previous-import value (0.0: first
 * import); optionText holds Name=Value lines and may be null. 0 or a negative result code. */
int32_t KX_CALL ExportXML(const char* outputDir, const char* advisorRef, int32_t reserved,
                          const double* lastImport, const char* optionText);

/* Ordinal 4. Writes the import version as a length-prefixed string (no zero) into 256 bytes. */
void KX_CALL ImportVersionInfo(unsigned char* versionText);

/* Ordinal 5. The interface version, KX_VERSION_INFO. */
int32_t KX_CALL VersionInfo(void);

/* Ordinal 6. The access-data dialog: 1 (OK, buffers written back, cut to 127/127/4095 bytes)
 * or 2 (cancel, buffers untouched). */
int32_t KX_CALL ApiDataDialog(char* userName, char* password, char* customData);

/* Ordinal 7. -1 when appVersion < KX_MIN_HOST_VERSION, else 0. Register convention on Win32. */
int32_t KX_REGISTER AppVersionCheck(int32_t appVersion);

#ifdef __cplusplus
}
#endif

#endif /* IMPAPIKORVALIX_H */
