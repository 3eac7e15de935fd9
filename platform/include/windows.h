/* The Windows kernel types and functions that the message library uses,
 * for builds on other systems: events, critical sections and timing over
 * the C++ standard library (the vzmidi library). */
#ifndef VZMIDI_WINDOWS_H
#define VZMIDI_WINDOWS_H

#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WINAPI
#define CALLBACK

typedef int BOOL;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef uintptr_t UINT_PTR;
typedef uintptr_t DWORD_PTR;
typedef wchar_t WCHAR;
typedef char *LPSTR;
typedef const WCHAR *LPCWSTR;
typedef void *HANDLE;
typedef void *HMODULE;
typedef void (*FARPROC)(void);
typedef struct _SECURITY_ATTRIBUTES *LPSECURITY_ATTRIBUTES;

#define TRUE 1
#define FALSE 0

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

/* Room for the lock object that InitializeCriticalSection builds in place,
 * so that a critical section needs no allocation, as on Windows. */
typedef struct CRITICAL_SECTION {
    union {
        void *align_pointer;
        unsigned long long align_integer;
        unsigned char bytes[64];
    } opaque;
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

/* Unnamed events only: a name makes the creation fail (null). */
HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manual_reset, BOOL initial_state,
                           LPCWSTR name);
BOOL WINAPI SetEvent(HANDLE event);
BOOL WINAPI ResetEvent(HANDLE event);
/* WAIT_OBJECT_0 when signalled (an auto-reset event is cleared again),
 * WAIT_TIMEOUT, or WAIT_FAILED for a handle that is not an open event. */
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL WINAPI CloseHandle(HANDLE handle);

/* Recursive, like the Windows critical section. */
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section);

/* No program runs under Wine here: no module is found, so no export is. */
HMODULE WINAPI GetModuleHandleW(LPCWSTR module_name);
FARPROC WINAPI GetProcAddress(HMODULE module, const char *proc_name);

/* Milliseconds of a monotonic clock, wrapping at 2^32. */
DWORD WINAPI GetTickCount(void);
void WINAPI Sleep(DWORD milliseconds);

#ifdef __cplusplus
}
#endif

#endif
