// The swap journal: one small file in the tool's swap folder, Swap.journal, written durably (a
// new file flushed to disk, then moved over the old one with write-through) at each step of a
// swap, so that a swap killed at any moment is completed or rolled back at the tool's next start.
//
//   phase=idle           no swap under way; the tool's registrations are not on the machine
//   phase=in-clearing    swap in: the backup is saved; the machine is being cleared and the tool's
//                        registrations written. Recovery: the machine back from the backup.
//   phase=in             swapped in: the tool's registrations are on the machine
//   phase=out-capturing  swap out: the tool's state is being captured; nothing changed yet.
//                        Recovery: the swap out again, whole.
//   phase=out-writing    swap out: the tool's state is saved; the machine is being cleared and
//                        the backup written back. Recovery: the rest of the write-back.
//   item=<kind>|<what>   one line per item the tool swaps, in every phase but idle: how the other
//                        tools of the platform know what this one holds (UTF-8)
#pragma once

#include "platform/framework/afx_string.h"

#include <string>
#include <vector>

enum class SwapPhase { Idle, InClearing, In, OutCapturing, OutWriting };

struct SwapJournalState {
  SwapPhase phase = SwapPhase::Idle;
  std::vector<std::string> items;
};

class SwapJournal {
 public:
  explicit SwapJournal(const CString& swapFolder);

  // The journal as it stands; idle without a file.
  SwapJournalState Read() const;
  // Writes the phase and the items durably; false (the old journal stands) when it cannot.
  bool Write(SwapPhase phase, const std::vector<std::string>& items) const;
  const CString& Path() const { return m_path; }

  // Whether a phase is the middle of a swap, which the next start must finish first.
  static bool Unfinished(SwapPhase phase) { return phase != SwapPhase::Idle && phase != SwapPhase::In; }

 private:
  CString m_path;
};

// Whether two journal items name the same thing on the machine, or one holds the other (a key
// and a value or key below it; names compared ignoring case).
bool ItemsOverlap(const std::string& a, const std::string& b);
