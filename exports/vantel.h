// vantel.h: the one header a host program or a tool maker includes to use Vantel10.dll.
//
// It declares the runtime parameter block and its hooks (runtime/runtime_param.h), the shared
// running-tool table (runtime/shared_data.h), every plain export of the library, the exported
// classes CToolModule, CSysRegRec, CSysRegDoc and CCommon, the framework (CString, the
// collections, the module state; VantelFx.dll) and the platform objects a host sets up (the
// file-system object, the main settings document, the icon list, the configuration;
// VantelPlatform.dll). The installed SDK keeps the folders below include/vantel as they are here.
//
// Link: libVantel10.dll.a, libVantelPlatform.dll.a and libVantelFx.dll.a (find_package(Vantel)
// gives them as Vantel::Vantel). The block is the host's: it may be freed before or after the
// library is unloaded, since every string in it belongs to the one framework DLL.
#pragma once

#include "catalogue/catalogue_api.h"
#include "exports/settings_api.h"
#include "platform/framework/afx.h"
#include "platform/doctree/doc_tree.h"
#include "platform/services/afs.h"
#include "platform/services/afs_icon.h"
#include "platform/services/afs_path.h"
#include "platform/services/platform_tree.h"
#include "platform/services/tool_layout.h"
#include "platform/services/xconfig.h"
#include "platform/services/xfs_operation.h"
#include "platform/win/handles.h"
#include "platform/win/lib_folder.h"
#include "runtime/runtime_param.h"
#include "runtime/shared_data.h"
#include "platform/services/tool_layout.h"
#include "runtime/tool_module.h"
#include "swap/sys_reg_doc.h"
#include "swap/sys_reg_rec.h"
#include "sysreg/common.h"
#include "update/update_api.h"
