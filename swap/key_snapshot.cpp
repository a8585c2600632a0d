#include "swap/key_snapshot.h"

#include "platform/win/worker_pool.h"

#include <utility>

namespace {

// Deletes the key the handle refers to (it must have no subkeys left). Through the native call
// when the system has it: one request, against an open, a delete and a close for a delete by name.
bool DeleteOpenKey(HKEY key) {
  using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
  static const NtDeleteKeyFn ntDeleteKey = GetProc<NtDeleteKeyFn>(GetModuleHandleA("ntdll.dll"), "NtDeleteKey");
  if (ntDeleteKey) return ntDeleteKey(key) == 0;
  return RegDeleteKeyW(key, L"") == ERROR_SUCCESS;
}

// The keys one level below those of level, in order.
std::vector<KeySnapshot*> NextLevel(const std::vector<KeySnapshot*>& level) {
  std::vector<KeySnapshot*> next;
  for (KeySnapshot* node : level)
    for (auto& child : node->children) next.push_back(child.get());
  return next;
}

}  // namespace

std::unique_ptr<KeySnapshot> KeySnapshot::Read(RegKey key, const std::wstring& path, WorkerPool& pool) {
  std::unique_ptr<KeySnapshot> top(new KeySnapshot);
  top->path = path;
  top->key = std::move(key);
  // A level's subkeys are known once it is read.
  for (std::vector<KeySnapshot*> level{top.get()}; !level.empty(); level = NextLevel(level))
    pool.ForEach(level.size(), [&level](size_t i, int) { level[i]->ReadOwn(); });
  return top;
}

// Opens this key below its parent (the parent is read and still open) and reads its values and
// the names of its subkeys.
void KeySnapshot::ReadOwn() {
  if (!key && parent &&
      RegOpenKeyExW(parent->key.get(), name.c_str(), 0, MAXIMUM_ALLOWED, key.receive()) != ERROR_SUCCESS)
    key.reset();
  if (!key) return;
  DWORD subKeys = 0, maxSubKey = 0, count = 0, maxName = 0, maxData = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &count, &maxName, &maxData,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return;
  bool complete = true;
  std::vector<wchar_t> nameBuffer(maxName + 2 > MAX_PATH ? maxName + 2 : MAX_PATH);
  std::vector<BYTE> data(maxData + 2);
  values.reserve(count);
  for (DWORD i = 0; i < count; ++i) {
    DWORD nameLength = static_cast<DWORD>(nameBuffer.size()), dataLength = static_cast<DWORD>(data.size()), type = 0;
    LONG r = RegEnumValueW(key.get(), i, nameBuffer.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
    if (r == ERROR_MORE_DATA) {  // grew since the query: make room and read this index again
      nameBuffer.resize(nameBuffer.size() * 2 + nameLength);
      data.resize(data.size() * 2 + dataLength);
      --i;
      continue;
    }
    if (r == ERROR_NO_MORE_ITEMS) break;  // fewer than counted: a value went away meanwhile
    if (r != ERROR_SUCCESS) {
      complete = false;
      break;
    }
    Value value;
    value.name.assign(nameBuffer.data(), nameLength);
    value.type = type;
    value.data.assign(data.data(), data.data() + dataLength);
    values.push_back(std::move(value));
  }
  std::vector<wchar_t> sub(maxSubKey + 2 > MAX_PATH ? maxSubKey + 2 : MAX_PATH);
  children.reserve(subKeys);
  for (DWORD i = 0; i < subKeys; ++i) {
    DWORD length = static_cast<DWORD>(sub.size());
    LONG r = RegEnumKeyExW(key.get(), i, sub.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_MORE_DATA) {
      sub.resize(sub.size() * 2);
      --i;
      continue;
    }
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) {
      complete = false;
      break;
    }
    std::unique_ptr<KeySnapshot> child(new KeySnapshot);
    child->name.assign(sub.data(), length);
    child->path = path + L"\\" + child->name;
    child->parent = this;
    children.push_back(std::move(child));
  }
  whole = complete;
}

bool KeySnapshot::DeleteAll(WorkerPool& pool) {
  std::vector<std::vector<KeySnapshot*>> levels{{this}};
  while (!levels.back().empty()) levels.push_back(NextLevel(levels.back()));
  for (auto level = levels.rbegin(); level != levels.rend(); ++level)
    pool.ForEach(level->size(), [level](size_t i, int) { (*level)[i]->DeleteOwn(); });
  return deleted;
}

void KeySnapshot::DeleteOwn() {
  if (!whole || !key) return;
  for (const auto& child : children)
    if (!child->deleted) return;
  deleted = DeleteOpenKey(key.get());
}
