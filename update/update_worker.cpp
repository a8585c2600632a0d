#include "update/update_worker.h"

#include "platform/doctree/register_doc.h"
#include "platform/framework/afx_module.h"
#include "platform/win/com_ptr.h"
#include "runtime/tool_module.h"
#include "update/update_check.h"

namespace {

const DWORD kStopWaitMs = 5000;
const DWORD kTerminatedExitCode = 0xFFFFFFFF;

}  // namespace

CUpdateWorker::CUpdateWorker(CToolModule& owner) : m_owner(owner) {}

CUpdateWorker::~CUpdateWorker() { Stop(); }

bool CUpdateWorker::Start() {
  m_thread.reset(AfxBeginThread(&CUpdateWorker::Run, this, &m_dwThreadId));
  return m_thread.valid();
}

void CUpdateWorker::Stop() {
  if (!m_thread) return;
  InterlockedExchange(&m_nStop, 1);
  if (WaitForSingleObject(m_thread.get(), kStopWaitMs) == WAIT_TIMEOUT) {
    TerminateThread(m_thread.get(), kTerminatedExitCode);
    // Termination completes asynchronously; the feed document is freed only once the thread
    // can no longer touch it.
    WaitForSingleObject(m_thread.get(), INFINITE);
  }
  m_thread.reset();
  m_owner.DownloadCompleted(0);
  m_pFeed.reset();
}

bool CUpdateWorker::Wait(DWORD timeoutMs) const {
  return !m_thread || WaitForSingleObject(m_thread.get(), timeoutMs) != WAIT_TIMEOUT;
}

UINT __cdecl CUpdateWorker::Run(void* self) {
  auto* worker = static_cast<CUpdateWorker*>(self);
  // One apartment for the whole check keeps the XML services loaded between its documents.
  ComApartment com;
  try {
    CUpdateCheck(worker->m_owner, worker->m_nStop).Run(worker->m_pFeed);
  } catch (...) {
    // A check that fails on the way ends quietly, as a check that finds nothing does.
  }
  return 0;
}

void StartUpdateWorker(CToolModule& module) {
  if (module.m_strRemote.IsEmpty()) return;
  StopUpdateWorker(module);
  auto worker = std::make_unique<CUpdateWorker>(module);
  if (worker->Start()) module.m_pUpdateWorker = worker.release();
}

void StopUpdateWorker(CToolModule& module) {
  if (!module.m_pUpdateWorker) return;
  module.m_pUpdateWorker->Stop();
  delete module.m_pUpdateWorker;
  module.m_pUpdateWorker = nullptr;
}
