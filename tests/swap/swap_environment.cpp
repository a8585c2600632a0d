// The swap suite's set-up for the whole run: the resource library is the resource handle (new
// registration documents take their first text from it) and the test root is removed before the
// first test and after the last, whatever the tests left.
#include "tests/support/registration_docs.h"
#include "tests/support/resource_library.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

namespace {

class SwapEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    SHDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);
    m_resources.reset(new ScopedResourceLibrary);
    ASSERT_NE(m_resources->get(), nullptr) << "Parlance10.dll beside the test";
  }
  void TearDown() override {
    m_resources.reset();
    SHDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);
  }

 private:
  std::unique_ptr<ScopedResourceLibrary> m_resources;
};

const ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new SwapEnvironment);

}  // namespace
