/* The Windows Multimedia MIDI types, constants and functions that the
 * message library uses, for builds on other systems. Ports come from the
 * vzmidi back-ends; every notification is made on one thread of the vzmidi
 * library, and a close returns once its close notification has been made. */
#ifndef VZMIDI_MMSYSTEM_H
#define VZMIDI_MMSYSTEM_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef UINT MMRESULT;
typedef struct HMIDIOUT__ *HMIDIOUT, **LPHMIDIOUT;
typedef struct HMIDIIN__ *HMIDIIN, **LPHMIDIIN;

#define MAXPNAMELEN 32

typedef struct MIDIOUTCAPSW {
    WCHAR szPname[MAXPNAMELEN];
} MIDIOUTCAPSW, *LPMIDIOUTCAPSW;

typedef struct MIDIINCAPSW {
    WCHAR szPname[MAXPNAMELEN];
} MIDIINCAPSW, *LPMIDIINCAPSW;

typedef struct midihdr_tag {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD dwFlags; /* written by the library on its notification thread: use atomic access */
} MIDIHDR, *LPMIDIHDR;

#define MHDR_DONE 0x00000001u
#define MHDR_PREPARED 0x00000002u
#define MHDR_INQUEUE 0x00000004u

#define CALLBACK_TYPEMASK 0x00070000u
#define CALLBACK_NULL 0x00000000u
#define CALLBACK_FUNCTION 0x00030000u

#define MIM_OPEN 0x3C1
#define MIM_CLOSE 0x3C2
#define MIM_DATA 0x3C3
#define MIM_LONGDATA 0x3C4
#define MIM_ERROR 0x3C5
#define MIM_LONGERROR 0x3C6
#define MOM_OPEN 0x3C7
#define MOM_CLOSE 0x3C8
#define MOM_DONE 0x3C9

#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_NOMEM 7
#define MMSYSERR_INVALPARAM 11
#define MIDIERR_UNPREPARED 64
#define MIDIERR_STILLPLAYING 65
#define MIDIERR_NODEVICE 68

UINT WINAPI midiOutGetNumDevs(void);
MMRESULT WINAPI midiOutGetDevCapsW(UINT_PTR device, LPMIDIOUTCAPSW caps, UINT caps_size);
MMRESULT WINAPI midiOutOpen(LPHMIDIOUT handle, UINT device, DWORD_PTR callback, DWORD_PTR instance,
                            DWORD flags);
MMRESULT WINAPI midiOutPrepareHeader(HMIDIOUT handle, LPMIDIHDR header, UINT header_size);
MMRESULT WINAPI midiOutUnprepareHeader(HMIDIOUT handle, LPMIDIHDR header, UINT header_size);
/* One System Exclusive message at a time: MIDIERR_UNPREPARED while the
 * header is not prepared or an earlier message has not come back done. */
MMRESULT WINAPI midiOutLongMsg(HMIDIOUT handle, LPMIDIHDR header, UINT header_size);
/* Gives back a message still on its way, marked done; a back-end that
 * has already taken it may still send it. */
MMRESULT WINAPI midiOutReset(HMIDIOUT handle);
MMRESULT WINAPI midiOutClose(HMIDIOUT handle);

UINT WINAPI midiInGetNumDevs(void);
MMRESULT WINAPI midiInGetDevCapsW(UINT_PTR device, LPMIDIINCAPSW caps, UINT caps_size);
MMRESULT WINAPI midiInOpen(LPHMIDIIN handle, UINT device, DWORD_PTR callback, DWORD_PTR instance,
                           DWORD flags);
MMRESULT WINAPI midiInPrepareHeader(HMIDIIN handle, LPMIDIHDR header, UINT header_size);
MMRESULT WINAPI midiInUnprepareHeader(HMIDIIN handle, LPMIDIHDR header, UINT header_size);
MMRESULT WINAPI midiInAddBuffer(HMIDIIN handle, LPMIDIHDR header, UINT header_size);
MMRESULT WINAPI midiInStart(HMIDIIN handle);
MMRESULT WINAPI midiInStop(HMIDIIN handle);
/* Stops input and gives back every queued buffer, marked done. */
MMRESULT WINAPI midiInReset(HMIDIIN handle);
MMRESULT WINAPI midiInClose(HMIDIIN handle);

#ifdef __cplusplus
}
#endif

#endif
