// Where a tool lives in the platform, as the catalogue lays it out:
//   <platform>\App\Tools\<tool>\app      the tool's application folder (its launcher run.exe)
//   <platform>\App\Tools\<tool>\Swap     its swap folder (the environment variable Swap)
//   <platform>\App\Tools\<tool>\Backup   room for the tool's own backups
#pragma once

// Below the platform folder; every name starts with a backslash and has none at its end.
inline constexpr char kToolsFolder[] = "\\App\\Tools";
// Below a tool's folder.
inline constexpr char kToolAppFolder[] = "\\app";
inline constexpr char kToolSwapFolder[] = "\\Swap";
inline constexpr char kToolBackupFolder[] = "\\Backup";
// The launcher's file name, in the application folder.
inline constexpr char kLauncherProgram[] = "run.exe";
