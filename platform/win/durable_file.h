// Files written so that a crash at any moment leaves either the old file or the new one whole: the
// new bytes go into a file of their own beside the target, flushed to disk, which is then moved
// over the target with write-through.
#pragma once

#include <string>

// A reader that holds the target open for a moment (an indexer, a virus scanner, a program
// watching the file) makes the move fail with a sharing error: the move is tried again for this
// long before the write counts as failed.
inline constexpr unsigned long kDurableReplaceRetryMs = 2000;

// Writes bytes to path durably; false (the old file stands, GetLastError tells why) when it cannot.
bool WriteFileDurably(const std::string& path, const std::string& bytes);
