// How the verbs of host.exe reach the resident host (see docs/host.md): the client sends the
// window of class kHostWindowClass a WM_COPYDATA whose dwData is kHostRequest and whose bytes are
// the verb and its arguments, each ended by a NUL; wParam is a window of the client. The host
// answers by sending that window a WM_COPYDATA (dwData kHostReply) with the text to print, and
// returns the exit code as the message's result.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

inline constexpr char kHostWindowClass[] = "VantelHost";
// The window's title once the host has loaded the catalogue and answers requests; until then it
// has none, and clients do not find it (a load would otherwise run in the client's own process).
inline constexpr char kHostWindowTitle[] = "Vantel host";
inline constexpr ULONG_PTR kHostRequest = 0x56484F53;  // "VHOS"
inline constexpr ULONG_PTR kHostReply = 0x56485250;    // "VHRP"
// Exit code of a client whose host did not answer.
inline constexpr int kNoAnswer = 3;

// The resident host's window; null when no host is running.
HWND FindResidentHost();

std::vector<char> EncodeWords(const std::vector<std::string>& words);
// False when the bytes do not hold whole NUL-ended words.
bool DecodeWords(const void* data, DWORD size, std::vector<std::string>& words);

// Sends the words to the resident host and collects its reply; the exit code it answered
// (kNoAnswer when it answered nothing within the time limit).
int SendToHost(HWND host, const std::vector<std::string>& words, std::string& reply);
// The host's side: sends the reply text to the client's window.
void ReplyToClient(HWND client, const std::string& text);
