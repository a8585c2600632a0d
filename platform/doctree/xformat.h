// Base64 text of bytes and back, through crypt32 (CryptBinaryToStringA / CryptStringToBinaryA).
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

class CXFormat {
 public:
  // The Base64 text (standard alphabet, "=" padding) of count bytes. flag 0 gives one line;
  // any other flag keeps the lines of 64 characters that crypt32 writes. Empty for no
  // bytes (count 0 or less, or bytes null).
  static CString EncodeTextBase64(const BYTE* bytes, int count, int flag = 0);

  // Decodes Base64 text. The part decoded starts at character `start` (-1: the beginning) and is
  // `length` characters long (-1: to the end). Spaces, tabs and line breaks are skipped.
  //   in:  count = the size of buffer in bytes
  //   out: count = the number of bytes decoded
  // With a null buffer nothing is written and count receives the size needed; returns 1.
  // Returns 1 when the bytes were decoded; 0 when the buffer is too small (count then holds the
  // size needed) or when the text is not Base64: a character outside the alphabet, a number of
  // characters that is not a multiple of four, or "=" anywhere but the last one or two places.
  // Text that is not Base64 decodes to nothing (count 0), never to a guess. Empty text decodes
  // to no bytes (1, count 0).
  static int DecodeTextBase64(const CString& text, BYTE* buffer, int& count, int start = -1, int length = -1);
};
