// Services against Wine's service manager: created with defaults and started, created disabled,
// replaced, deleted with and without the progress dialog, and one that refuses to stop.
#include "platform/framework/afx.h"
#include "sysreg/common.h"
#include "tests/support/dialog_answerer.h"
#include "tests/support/test_paths.h"
#include "tests/support/processes.h"
#include "tests/support/registry.h"

#include "tests/support/resource_library.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

const std::string kServices = "SYSTEM\\CurrentControlSet\\Services\\";

bool Gone(const std::string& name) { return !HasKey(HKEY_LOCAL_MACHINE, kServices + name); }

DWORD ServiceProcess(const std::string& name) {
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  ServiceHandle service(manager ? OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS) : nullptr);
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  return service && QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                         sizeof status, &needed)
             ? status.dwProcessId
             : 0;
}

void EndProcess(DWORD pid) {
  UniqueHandle process(pid ? OpenProcess(PROCESS_TERMINATE, FALSE, pid) : nullptr);
  if (process) TerminateProcess(process.get(), 1);
}

// Removes a test service before and after a test however it ended.
struct ServiceCleanup {
  explicit ServiceCleanup(std::string n) : name(std::move(n)) { Remove(); }
  ~ServiceCleanup() { Remove(); }
  void Remove() {
    DWORD pid = ServiceProcess(name);
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ServiceHandle service(manager ? OpenServiceA(manager.get(), name.c_str(), DELETE | SERVICE_STOP) : nullptr);
    if (!service) return;
    SERVICE_STATUS status;
    ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    DeleteService(service.get());
    service.reset();
    EndProcess(pid);
    WaitUntil([&] { return Gone(name); }, 10000);
  }
  std::string name;
};

// Notes whether a dialog of this process shows while it lives.
struct DialogWatch {
  DialogWatch() : thread([this] {
      for (; !stop; Sleep(30)) seen = seen || FindProcessDialog(GetCurrentProcessId()) != nullptr;
    }) {}
  ~DialogWatch() { Seen(); }
  bool Seen() {
    stop = true;
    if (thread.joinable()) thread.join();
    return seen;
  }
  std::atomic<bool> stop{false}, seen{false};
  std::thread thread;
};

class ServiceTest : public ::testing::Test {
 protected:
  static std::string Config(const std::string& name) { return RegQuery("HKLM\\" + kServices + name); }

  std::string m_image = BinFolder() + "\\sysreg_service.exe";
  ScopedResourceLibrary m_resources;
};

TEST_F(ServiceTest, DefaultsGiveAStartedOwnProcessServiceDeletedWithoutDialog) {
  ServiceCleanup cleanup("VantelTestSvcA");
  EXPECT_EQ(CCommon::IsServiceExist("VantelTestSvcA"), 0);
  EXPECT_EQ(CCommon::NewService("VantelTestSvcA", m_image.c_str(), -1, -1, -1, "", 0, "", "", "", "Vantel test service"), 1);
  std::string config = Config("VantelTestSvcA");
  for (const char* line : {"Type    REG_DWORD    0x10", "Start    REG_DWORD    0x3", "ErrorControl    REG_DWORD    0x1",
                           "DisplayName    REG_SZ    VantelTestSvcA", "ObjectName    REG_SZ    LocalSystem",
                           "Description    REG_SZ    Vantel test service"})
    EXPECT_TRUE(Has(config, line)) << line << "\n" << config;
  // Wine stores the image path as REG_SZ where Windows uses REG_EXPAND_SZ.
  EXPECT_TRUE(Has(config, "SZ    " + m_image)) << config;
  EXPECT_TRUE(WaitUntil([] { return Has(ScQuery("VantelTestSvcA"), "RUNNING"); }, 10000));
  EXPECT_EQ(CCommon::IsServiceExist("VantelTestSvcA"), 1);

  DialogWatch watch;
  DWORD start = GetTickCount();
  EXPECT_EQ(CCommon::DelService("VantelTestSvcA", 0), 1);  // it accepts the stop: no wait
  EXPECT_LT(GetTickCount() - start, 1500u);
  EXPECT_FALSE(watch.Seen());
  EXPECT_TRUE(WaitUntil([] { return Gone("VantelTestSvcA"); }, 10000));

  // Once it is gone there is nothing to wait for, with or without wait.
  DialogWatch none;
  start = GetTickCount();
  EXPECT_EQ(CCommon::IsServiceExist("VantelTestSvcA") + CCommon::IsServiceExist(""), 0);
  EXPECT_EQ(CCommon::DelService("VantelTestSvcA", 1) + CCommon::DelService("", 1), 2);
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_FALSE(none.Seen());
}

TEST_F(ServiceTest, DisabledServiceIsNotStartedAndIsReplacedBehindTheDialog) {
  ServiceCleanup cleanup("VantelTestSvcB");
  CCommon::NewService("VantelTestSvcB", m_image.c_str(), -1, SERVICE_DISABLED, -1, "", 0, CString("RpcSs\0", 6), "",
                      "Vantel Test Disabled", "");
  std::string config = Config("VantelTestSvcB");
  EXPECT_TRUE(Has(config, "Start    REG_DWORD    0x4") && Has(config, "DependOnService    REG_MULTI_SZ    RpcSs")) << config;
  EXPECT_FALSE(Has(config, "Description")) << config;
  EXPECT_TRUE(Has(ScQuery("VantelTestSvcB"), "STOPPED"));
  // Presence is asked by display name.
  EXPECT_EQ(CCommon::IsServiceExist("Vantel Test Disabled"), 1);
  EXPECT_EQ(CCommon::IsServiceExist("VantelTestSvcB"), 0);

  // The old service is deleted first; the dialog closes on the first tick after its key went.
  DialogWatch watch;
  DWORD start = GetTickCount();
  CCommon::NewService("VantelTestSvcB", m_image.c_str(), -1, SERVICE_DISABLED, -1, "", 0, "", "", "Vantel Test Again", "");
  DWORD took = GetTickCount() - start;
  EXPECT_TRUE(watch.Seen());
  EXPECT_TRUE(took >= 1900 && took < 8000) << took;
  EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, kServices + "VantelTestSvcB", "DisplayName"), "Vantel Test Again");
  EXPECT_FALSE(Has(Config("VantelTestSvcB"), "DependOnService"));
}

TEST_F(ServiceTest, ServiceThatRefusesToStopIsRetriedBehindTheDialog) {
  ServiceCleanup cleanup("VantelTestSvcC");
  // The service refuses the stop control for its first 5 s, then accepts it.
  CCommon::NewService("VantelTestSvcC", (m_image + " nostop:5000").c_str(), -1, -1, -1, "", 0, "", "", "", "");
  ASSERT_TRUE(WaitUntil([] { return Has(ScQuery("VantelTestSvcC"), "RUNNING"); }, 10000));
  // Even without wait the dialog shows, and Cancel asks first (answered No). A later tick's
  // stop attempt succeeds; the service ends, its key goes and the dialog closes by itself.
  DialogAnswerer cancel("Cancel"), no("No");
  DWORD start = GetTickCount();
  EXPECT_EQ(CCommon::DelService("VantelTestSvcC", 0), 1);
  DWORD took = GetTickCount() - start;
  EXPECT_TRUE(cancel.Wait() && no.Wait());
  EXPECT_TRUE(took >= 4000 && took < 20000) << took;
  EXPECT_TRUE(Gone("VantelTestSvcC"));
}

}  // namespace
