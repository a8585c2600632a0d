// The resource library's strings and dialogs, loaded the way the runtime loads them.
#include "platform/framework/afx.h"
#include "resources/resource_ids.h"
#include "tests/support/dialog_answerer.h"
#include "tests/support/resource_library.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

class ResourceLibrary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(m_resources.get(), nullptr); }
  ScopedResourceLibrary m_resources;
};

// Every message string is there; the questions name the tool once ("%s"), the other strings take
// no argument. A string that is not there loads as empty.
TEST_F(ResourceLibrary, EveryMessageStringWithItsPlaceholders) {
  const std::pair<UINT, int> strings[] = {
      {IDS_NEW_REGISTRATION_DOC, 0}, {IDS_NO_INSTALLED_VERSION, 1}, {IDS_QUIT_TOOL, 1},     {IDS_SETUP_AGAIN, 1},
      {IDS_SWAP_STILL_ACTIVE, 1},    {IDS_REMOVE_REGISTRATIONS, 1}, {IDS_PROGRESS_DELETE, 0}, {IDS_PROGRESS_COPY, 0},
      {IDS_DEFAULT_TOOL_NAME, 0},    {IDS_STOP_WAITING, 0},         {IDS_CONSENT_FOLLOWS, 0}, {IDS_SYSTEM_TOO_OLD, 0},
      {IDS_CAPTION, 0}};
  for (const auto& [id, placeholders] : strings) {
    CString s;
    EXPECT_TRUE(s.LoadString(id)) << id;
    int found = 0;
    for (int at = s.Find("%s"); at >= 0; at = s.Find("%s", at + 1)) ++found;
    EXPECT_EQ(found, placeholders) << id;
  }
  CString missing("old");
  EXPECT_FALSE(missing.LoadString(4242));
  EXPECT_TRUE(missing.IsEmpty());
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

// A message box of a string of the library shows its text in the real dialog and returns the
// button pressed there.
TEST_F(ResourceLibrary, MessageBoxShowsTheStringInTheRealDialog) {
  DialogAnswerer no("No");
  EXPECT_EQ(AfxMessageBox(IDS_SETUP_AGAIN, MB_YESNO), IDNO);
  ASSERT_TRUE(no.Wait());
  EXPECT_NE(no.Text().find("already set up"), std::string::npos);
}

}  // namespace
