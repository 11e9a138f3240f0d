// The callee-cleans-stack calling convention of the Windows platform's
// callbacks and of the Glide 2 exports. It only exists on 32-bit x86 Windows;
// elsewhere (64-bit Windows, the simulated machine) there is one convention
// and the macro is empty.
#pragma once

#if defined(_WIN32) && defined(__i386__)
#define HALCYRA_STDCALL __attribute__((stdcall))
#elif defined(_WIN32) && defined(_M_IX86)
#define HALCYRA_STDCALL __stdcall
#else
#define HALCYRA_STDCALL
#endif
