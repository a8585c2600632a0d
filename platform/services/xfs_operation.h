// File operations of the platform on the shell's SHFileOperation.
//
//   CXFSOperation op;
//   op.m_nOperation = CXFSOperation::kCopy;
//   op.m_strSource = from + "\\*.*";
//   op.m_strTarget = to;
//   op.Execute();
//
// kDelete removes the source: one file, one folder with everything in it, or a pattern such as
// folder + "\*.*" (matching files and sub-folders; the folder itself stays). It deletes for
// good (no recycle bin).
// kCopy copies the source into the target. With a pattern the target is a folder, created
// (with its parents) when missing; with a single file or folder the target is either an
// existing folder to copy into or the new name. Existing files are replaced.
// Without a title nothing is shown: no progress, no question, no error box. With a title the
// shell shows its simple progress window under that title (still no question or error box).
// A pattern that matches nothing does nothing and succeeds. A delete whose pattern sits in the
// root of a drive (or has no folder at all) is refused.
#pragma once

#include "platform/framework/afx_string.h"

class CXFSOperation {
 public:
  enum { kDelete = 2, kCopy = 4 };

  CXFSOperation() = default;

  // 1 when the operation ran to its end (or had nothing to do), 0 otherwise.
  int Execute();

  int m_nOperation = 0;  // kDelete or kCopy
  CString m_strTitle;    // progress title; empty: silent
  CString m_strSource;   // a file, a folder or a pattern
  CString m_strTarget;   // kCopy only
};
