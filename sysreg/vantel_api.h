// Export marker for the library's exported classes. Inside the library (and the tests that link
// its code statically) the classes are exported; a host that includes the public headers
// imports them from Vantel10.dll. The plain exports are listed in vantel10.def instead.
#pragma once

#ifdef VANTEL_BUILD
#define VANTEL_API __declspec(dllexport)
#else
#define VANTEL_API __declspec(dllimport)
#endif
