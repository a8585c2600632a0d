// Export marker of the framework DLL, VantelFx.dll. The framework is one library for the whole
// process: the host, Vantel10.dll and the platform's libraries all use its CString (and so its
// one empty-string header), its collections and its module state, and every framework object is
// allocated and freed by its code.
//
// Building the DLL defines VANTELFX_BUILD (exports); a program that carries its own copy of the
// framework (a host of the 4.2 framework, as a test fixture plays one) defines VANTELFX_STATIC;
// a program that delay-loads the DLL (run.exe) defines VANTELFX_DELAYLOAD, so that its calls go
// through the delay-load thunks (an import declaration would bypass them); everyone else imports.
#pragma once

#if defined(VANTELFX_STATIC) || defined(VANTELFX_DELAYLOAD)
#define VANTELFX_API
#elif defined(VANTELFX_BUILD)
#define VANTELFX_API __declspec(dllexport)
#else
#define VANTELFX_API __declspec(dllimport)
#endif
