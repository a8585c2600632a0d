// Calling the host's hooks.
//
// A hook is looked up by its exact name in the block's hook map (a find-or-insert: a name the
// host did not supply is left behind with a null address). No block or a null address means the
// host has no such hook; the caller then uses its own default.
#pragma once

#include "runtime/runtime_param.h"

template <typename Fn>
Fn FindHook(RUNTIMEPARAM* block, const char* name) {
  if (!block) return nullptr;
  return reinterpret_cast<Fn>(block->mapHook[name]);
}

// Calls the hook `name` with the block and `args`; without the hook returns `absent`.
template <typename Result, typename... Args>
Result CallHook(RUNTIMEPARAM* block, const char* name, Result absent, Args... args) {
  using Fn = Result(__cdecl*)(RUNTIMEPARAM*, Args...);
  Fn hook = FindHook<Fn>(block, name);
  return hook ? hook(block, args...) : absent;
}

// The hook's answer reduced to 1 or 0; 1 without the hook.
template <typename... Args>
int AskHook(RUNTIMEPARAM* block, const char* name, Args... args) {
  return CallHook<int>(block, name, 1, args...) != 0 ? 1 : 0;
}
