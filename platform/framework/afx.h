// The framework layer in one include: strings, collections, module state, dialogs.
#pragma once

#include "platform/framework/afx_coll.h"
#include "platform/framework/afx_dialog.h"
#include "platform/framework/afx_module.h"
#include "platform/framework/afx_string.h"
