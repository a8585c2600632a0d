// The ODBC installer library (odbccp32.dll), loaded on first use and kept until the library
// unloads, and the attribute list the runtime hands it for a new system data source.
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

#include <string>

// The installer library; null when the machine does not have it.
HMODULE OdbcInstallerLibrary();

// "DSN=<name>", "DESCRIPTION=<description>" and "DBQ=<database>", each ended by a NUL, then the
// extra attribute text (ended by its own NUL) when it is not empty, then the closing NUL.
std::string OdbcAttributeList(const CString& dataSource, const CString& description,
                              const CString& database, const CString& extraAttributes);

// Where the machine lists its system data sources: value name = data source, data = driver.
extern const char kOdbcDataSourceList[];
