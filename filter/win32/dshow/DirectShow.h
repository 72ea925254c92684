#pragma once
// The one way this folder includes the DirectShow headers of mingw-w64.
#ifndef NO_DSHOW_STRSAFE
#define NO_DSHOW_STRSAFE
#endif
#include <windows.h>
#include <dshow.h>
