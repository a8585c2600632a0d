// Running one of a tool's command values (load, unload, update) as its launcher process: the
// markers of the command filled in, the process's environment and command line, and the start.
#pragma once

#include "platform/framework/afx_string.h"

#include <vector>

// The command with %1, %2, ... replaced: for n = 1, 2, ... as long as the command holds the
// marker of n and a value is left (a null value ends it), every occurrence of the marker becomes
// the n-th value. The first marker that is absent ends the substitution; later ones stay.
CString SubstituteMarkers(const CString& command, const std::vector<const char*>& values);

// The environment block of a tool's launcher: this process's variables in their order, Path
// with ";" and the library folder appended, any Swap of this process left out, and Swap naming the
// tool's swap folder last. Variables NUL-separated, the block ended by a second NUL.
std::vector<char> ToolEnvironment(const CString& libFolder, const CString& swapFolder);

// The launcher's command line: the tool folder's short (8.3) form, "\app\" and the command. When
// the folder has no short form and holds a blank, the program's path is quoted.
CString ToolCommandLine(const CString& toolFolder, const CString& command);

// Starts the command line with that environment in workFolder and, when wait is set, waits for
// the process to end. 1 when it was started.
int StartToolCommand(const CString& commandLine, const std::vector<char>& environment, const CString& workFolder,
                     bool wait);
