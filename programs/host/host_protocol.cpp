#include "host_protocol.h"

#include <cstring>

namespace {

// A client waits this long for the host: an update waits for the tool's update program.
const UINT kAnswerTimeoutMs = 10 * 60 * 1000;
const char kReplyWindowClass[] = "VantelHostReply";

LRESULT CALLBACK ReplyProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    auto* reply = reinterpret_cast<std::string*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (data->dwData == kHostReply && reply) reply->append(static_cast<const char*>(data->lpData), data->cbData);
    return TRUE;
  }
  return DefWindowProcA(window, msg, wp, lp);
}

}  // namespace

HWND FindResidentHost() { return FindWindowA(kHostWindowClass, kHostWindowTitle); }

std::vector<char> EncodeWords(const std::vector<std::string>& words) {
  std::vector<char> bytes;
  for (const std::string& word : words) bytes.insert(bytes.end(), word.c_str(), word.c_str() + word.size() + 1);
  return bytes;
}

bool DecodeWords(const void* data, DWORD size, std::vector<std::string>& words) {
  const char* at = static_cast<const char*>(data);
  const char* end = at + (data ? size : 0);
  while (at < end) {
    const void* nul = memchr(at, '\0', static_cast<size_t>(end - at));
    if (!nul) return false;
    words.emplace_back(at, static_cast<const char*>(nul));
    at = static_cast<const char*>(nul) + 1;
  }
  return !words.empty();
}

int SendToHost(HWND host, const std::vector<std::string>& words, std::string& reply) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ReplyProc;
  wc.lpszClassName = kReplyWindowClass;
  RegisterClassA(&wc);
  HWND window = CreateWindowA(kReplyWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (!window) return kNoAnswer;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&reply));
  std::vector<char> bytes = EncodeWords(words);
  COPYDATASTRUCT data = {kHostRequest, static_cast<DWORD>(bytes.size()), bytes.data()};
  DWORD_PTR code = kNoAnswer;
  // Not SMTO_BLOCK: the host's reply arrives while this thread waits.
  if (!SendMessageTimeoutA(host, WM_COPYDATA, reinterpret_cast<WPARAM>(window), reinterpret_cast<LPARAM>(&data),
                           SMTO_NORMAL, kAnswerTimeoutMs, &code))
    code = kNoAnswer;
  DestroyWindow(window);
  return static_cast<int>(code);
}

void ReplyToClient(HWND client, const std::string& text) {
  if (!client || text.empty()) return;
  COPYDATASTRUCT data = {kHostReply, static_cast<DWORD>(text.size()), const_cast<char*>(text.data())};
  SendMessageA(client, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}
