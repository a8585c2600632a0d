// Answers a message box or dialog the way a person would: a background thread waits for the
// real dialog window to appear, reads its text, and presses the named button.
//
//   DialogAnswerer answer("Yes");          // any dialog of this process
//   module.QuitTool(0, 1);                 // shows the question and blocks until answered
//   EXPECT_TRUE(answer.Wait());
//   EXPECT_NE(answer.Text().find("Demo"), std::string::npos);
//
// A dialog is a top-level window of class "#32770" owned by the given process (this one unless
// said otherwise). The button is matched by its caption without the accelerator ampersand,
// ignoring case ("Yes", "No", "OK", "Cancel").
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::string button, DWORD timeoutMs = 20000,
                          DWORD processId = GetCurrentProcessId());
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;
  ~DialogAnswerer();

  // Waits for the answering thread; true when a dialog was found and its button pressed.
  bool Wait();
  // Stops looking now (the process it watches has ended); true when it had answered a dialog.
  bool Stop();
  // The dialog's caption and the texts of its static controls, joined by newlines.
  const std::string& Text() const { return m_text; }
  const std::string& Caption() const { return m_caption; }

 private:
  void Run();

  std::string m_button;
  DWORD m_timeoutMs;
  DWORD m_processId;
  std::string m_text;
  std::string m_caption;
  std::atomic<bool> m_clicked{false};
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};
