// The resource library's strings and dialogs, loaded the way the runtime loads them, and the
// dialog-answering helper the other tests rely on.
#include "platform/framework/afx.h"
#include "resources/resource_ids.h"
#include "tests/support/dialog_answerer.h"
#include "tests/support/resource_library.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ResourceLibrary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(m_resources.get(), nullptr); }
  ScopedResourceLibrary m_resources;
};

TEST_F(ResourceLibrary, EveryMessageStringIsPresent) {
  for (UINT id : {IDS_NEW_REGISTRATION_DOC, IDS_NO_INSTALLED_VERSION, IDS_QUIT_TOOL, IDS_SETUP_AGAIN,
                  IDS_SWAP_STILL_ACTIVE, IDS_REMOVE_REGISTRATIONS, IDS_PROGRESS_DELETE, IDS_PROGRESS_COPY,
                  IDS_DEFAULT_TOOL_NAME, IDS_STOP_WAITING, IDS_CONSENT_FOLLOWS, IDS_SYSTEM_TOO_OLD,
                  IDS_CAPTION}) {
    CString s;
    EXPECT_TRUE(s.LoadString(id)) << id;
    EXPECT_FALSE(s.IsEmpty()) << id;
  }
  // The questions that name the tool carry a placeholder for it; 51787 exactly one.
  for (UINT id : {IDS_NO_INSTALLED_VERSION, IDS_QUIT_TOOL, IDS_SETUP_AGAIN, IDS_SWAP_STILL_ACTIVE,
                  IDS_REMOVE_REGISTRATIONS}) {
    CString s;
    s.LoadString(id);
    EXPECT_GE(s.Find("%s"), 0) << id;
  }
  CString one;
  one.LoadString(IDS_NO_INSTALLED_VERSION);
  EXPECT_EQ(one.Find("%s", one.Find("%s") + 1), -1);
  CString doc;
  doc.LoadString(IDS_NEW_REGISTRATION_DOC);
  EXPECT_EQ(doc.Find("<?xml"), 0);
}

TEST_F(ResourceLibrary, MissingStringLoadsEmpty) {
  CString s("old");
  EXPECT_FALSE(s.LoadString(4242));
  EXPECT_TRUE(s.IsEmpty());
}

class ProgressLike : public CDialog {
 public:
  ProgressLike() : CDialog(IDD_PROGRESS) {}
  bool sawButtons = false;

 protected:
  BOOL OnInitDialog() override {
    sawButtons = GetDlgItem(IDOK) && GetDlgItem(IDCANCEL);
    return TRUE;
  }
};

TEST_F(ResourceLibrary, ProgressDialogIsModalWithOkAndCancel) {
  DialogAnswerer answer("Cancel");
  ProgressLike dlg;
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_TRUE(answer.Wait());
  EXPECT_TRUE(dlg.sawButtons);
}

TEST_F(ResourceLibrary, HiddenWindowDialogStaysInvisible) {
  CDialog hidden(IDD_HIDDEN);
  ASSERT_TRUE(hidden.Create());
  EXPECT_FALSE(IsWindowVisible(hidden.GetSafeHwnd()));
  EXPECT_TRUE(hidden.DestroyWindow());
  EXPECT_EQ(hidden.GetSafeHwnd(), nullptr);
}

TEST_F(ResourceLibrary, MessageBoxIsAnsweredThroughTheRealDialog) {
  DialogAnswerer no("No");
  EXPECT_EQ(AfxMessageBox(IDS_SETUP_AGAIN, MB_YESNO), IDNO);
  ASSERT_TRUE(no.Wait());
  EXPECT_NE(no.Text().find("already set up"), std::string::npos);
  DialogAnswerer yes("Yes");
  EXPECT_EQ(AfxMessageBox("Proceed?", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_TRUE(yes.Wait());
}

TEST(DialogAnswerer, ReportsWhenNoDialogAppears) {
  DialogAnswerer nobody("OK", 300);
  EXPECT_FALSE(nobody.Wait());
}

}  // namespace
