// The swap suite's set-up for the whole run: the resource library is the resource handle (new
// registration documents take their first text from it) and the test root is removed before the
// first test and after the last, whatever the tests left.
#include "platform/framework/afx_module.h"
#include "tests/support/registration_docs.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

namespace {

class SwapEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    SHDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);
    m_library = LoadLibraryA((BinFolder() + "\\Parlance10.dll").c_str());
    ASSERT_NE(m_library, nullptr) << "Parlance10.dll beside the test";
    AfxSetResourceHandle(m_library);
  }
  void TearDown() override {
    AfxSetResourceHandle(AfxGetInstanceHandle());
    if (m_library) FreeLibrary(m_library);
    SHDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);
  }

 private:
  HMODULE m_library = nullptr;
};

const ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new SwapEnvironment);

}  // namespace
