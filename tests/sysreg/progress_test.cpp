// The progress dialog on the real template: completion, time-out, the inert default button,
// the cancel question answered through the real message box, and the caption cache.
#include "platform/framework/afx.h"
#include "resources/resource_ids.h"
#include "sysreg/progress_dlg.h"
#include "tests/support/dialog_answerer.h"
#include "tests/support/test_paths.h"

#include "tests/support/resource_library.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Counts its runs, reports completion on run number `completeOn` (never when 0), and notes
// its deletion.
struct CountingTask : CProgressTask {
  CountingTask(CProgressDlg*& dialog, int completeOn, int& runs, bool& deleted)
      : dialog(dialog), completeOn(completeOn), runs(runs), deleted(deleted) {}
  ~CountingTask() override { deleted = true; }
  int Run() override {
    if (++runs == completeOn) dialog->m_nResult = CProgressDlg::kCompleted;
    return 0;
  }
  CProgressDlg*& dialog;
  int completeOn;
  int& runs;
  bool& deleted;
};

class ProgressDlgTest : public ::testing::Test {
 protected:
  // Runs a dialog with a counting task, a 50 ms interval and the given time-out.
  INT_PTR Run(int completeOn, DWORD timeoutMs) {
    m_runs = 0;
    m_deleted = false;
    m_dialog.reset(new CProgressDlg(new CountingTask(m_raw, completeOn, m_runs, m_deleted)));
    m_raw = m_dialog.get();
    m_dialog->m_dwInterval = 50;
    m_dialog->m_dwTimeout = timeoutMs;
    return m_dialog->DoModal();
  }

  ScopedResourceLibrary m_resources;
  std::unique_ptr<CProgressDlg> m_dialog;
  CProgressDlg* m_raw = nullptr;
  int m_runs = 0;
  bool m_deleted = false;
};

TEST_F(ProgressDlgTest, EndsOnCompletionOrTimeOutButNotOnTheDefaultButton) {
  EXPECT_EQ(Run(3, 10000), CProgressDlg::kCompleted);
  EXPECT_EQ(m_runs, 3);
  EXPECT_TRUE(m_deleted);  // with the window, before the object goes
  EXPECT_EQ(m_dialog->m_pTask, nullptr);

  DialogAnswerer ok("OK");
  DWORD start = GetTickCount();
  EXPECT_EQ(Run(0, 1200), CProgressDlg::kTimedOut);
  EXPECT_TRUE(ok.Wait());
  EXPECT_GE(GetTickCount() - start, 1200u);
  EXPECT_EQ(m_dialog->m_nResult, CProgressDlg::kTimedOut);
  EXPECT_GE(m_runs, 3);
}

TEST_F(ProgressDlgTest, CancelAsksFirst) {
  {
    DialogAnswerer cancel("Cancel"), no("No");  // the wait goes on
    EXPECT_EQ(Run(0, 2500), CProgressDlg::kTimedOut);
    EXPECT_TRUE(cancel.Wait() && no.Wait());
    EXPECT_EQ(no.Caption(), "Vantel");
    EXPECT_TRUE(no.Text().find("Stop waiting") != std::string::npos) << no.Text();
  }
  DialogAnswerer cancel("Cancel"), yes("Yes");
  DWORD start = GetTickCount();
  EXPECT_EQ(Run(0, 20000), IDCANCEL);
  EXPECT_TRUE(cancel.Wait() && yes.Wait());
  EXPECT_LT(GetTickCount() - start, 15000u);
  EXPECT_EQ(m_dialog->m_nResult, CProgressDlg::kWaiting);
  EXPECT_TRUE(m_deleted);
}

TEST_F(ProgressDlgTest, TaskIsFreedWhenTheDialogCannotOpenAndCaptionIsKept) {
  EXPECT_STREQ(GetCaptionText(IDS_CAPTION), "Vantel");
  AfxSetResourceHandle(GetModuleHandleA(nullptr));  // no dialog 278, no string 51972
  EXPECT_STREQ(GetCaptionText(IDS_CAPTION), "Vantel");
  EXPECT_EQ(Run(1, 1000), -1);
  EXPECT_EQ(m_runs, 0);
  m_dialog.reset();
  EXPECT_TRUE(m_deleted);
}

}  // namespace
