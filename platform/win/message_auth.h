// Message authentication and random numbers through the Windows crypto API (bcrypt.dll, Windows
// 6.0 and later). The DLL is loaded from the system folder on first use, so the platform's own
// DLLs still load on older systems; there every function here fails.
#pragma once

#include <string>

// HMAC-SHA256 of the message under the key, as 64 lower-case hexadecimal digits; empty on failure.
std::string HmacSha256Hex(const std::string& key, const std::string& message);
// `size` random bytes from the system's preferred generator; empty on failure.
std::string RandomBytes(size_t size);

// Lower-case hexadecimal digits of the bytes, and back (false for anything but pairs of digits).
std::string ToHex(const std::string& bytes);
bool FromHex(const std::string& hex, std::string& bytes);
// Equality that takes the same time wherever the texts differ, for comparing codes.
bool SameCode(const std::string& a, const std::string& b);
