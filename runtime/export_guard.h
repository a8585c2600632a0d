// The boundary of every plain export of the library: no exception crosses into a host, which
// cannot catch it. Whatever the body throws, the export answers its failure value.
#pragma once

template <typename Result, typename Body>
Result GuardedExport(Result failure, Body body) {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}
