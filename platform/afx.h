// The framework layer in one include: strings, collections, module state, dialogs.
#pragma once

#include "platform/afx_coll.h"
#include "platform/afx_dialog.h"
#include "platform/afx_module.h"
#include "platform/afx_string.h"
