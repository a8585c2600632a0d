#include "tests/support/dialog_answerer.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

std::string WindowText(HWND h) {
  char buf[2048] = "";
  GetWindowTextA(h, buf, sizeof buf);
  return buf;
}

std::string ClassName(HWND h) {
  char buf[256] = "";
  GetClassNameA(h, buf, sizeof buf);
  return buf;
}

std::string Normalise(std::string s) {
  s.erase(std::remove(s.begin(), s.end(), '&'), s.end());
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

struct FindDialog {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindDialogProc(HWND h, LPARAM lp) {
  auto* f = reinterpret_cast<FindDialog*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid == f->pid && IsWindowVisible(h) && ClassName(h) == "#32770") {
    f->found = h;
    return FALSE;
  }
  return TRUE;
}

struct Children {
  std::vector<HWND> all;
};

BOOL CALLBACK ChildProc(HWND h, LPARAM lp) {
  reinterpret_cast<Children*>(lp)->all.push_back(h);
  return TRUE;
}

// A visible dialog of the given process now; null when there is none.
HWND FindProcessDialog(DWORD processId) {
  FindDialog f{processId, nullptr};
  EnumWindows(FindDialogProc, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

}  // namespace

DialogAnswerer::DialogAnswerer(std::string button, DWORD timeoutMs, DWORD processId)
    : m_button(Normalise(std::move(button))), m_timeoutMs(timeoutMs), m_processId(processId) {
  m_thread = std::thread([this] { Run(); });
}

DialogAnswerer::~DialogAnswerer() {
  m_stop = true;
  if (m_thread.joinable()) m_thread.join();
}

bool DialogAnswerer::Stop() {
  m_stop = true;
  return Wait();
}

bool DialogAnswerer::Wait() {
  if (m_thread.joinable()) m_thread.join();
  return m_clicked;
}

void DialogAnswerer::Run() {
  DWORD start = GetTickCount();
  while (!m_stop && GetTickCount() - start < m_timeoutMs) {
    HWND dlg = FindProcessDialog(m_processId);
    if (dlg) {
      Children c;
      EnumChildWindows(dlg, ChildProc, reinterpret_cast<LPARAM>(&c));
      HWND target = nullptr;
      std::string text;
      for (HWND child : c.all) {
        std::string cls = Normalise(ClassName(child));
        std::string t = WindowText(child);
        if (cls == "button" && Normalise(t) == m_button) target = child;
        if (cls == "static" && !t.empty()) text += (text.empty() ? "" : "\n") + t;
      }
      if (target) {
        m_caption = WindowText(dlg);
        m_text = text;
        // The click is posted as the dialog's own command, as a press of the button would be.
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(target), BN_CLICKED),
                     reinterpret_cast<LPARAM>(target));
        m_clicked = true;
        return;
      }
    }
    Sleep(50);
  }
}
