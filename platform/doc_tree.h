// The document-tree library in one include: items, nodes, the tree, the documents, Base64.
#pragma once

#include "platform/acas_doc.h"
#include "platform/register_doc.h"
#include "platform/vf_tree.h"
#include "platform/vfdl_doc.h"
#include "platform/vfdl_item.h"
#include "platform/vfdl_node.h"
#include "platform/vfdl_rec.h"
#include "platform/xformat.h"
#include "platform/xml_doc.h"
