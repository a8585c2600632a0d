// The document-tree library in one include: items, nodes, the tree, the documents, Base64.
#pragma once

#include "platform/doctree/acas_doc.h"
#include "platform/doctree/register_doc.h"
#include "platform/doctree/vf_tree.h"
#include "platform/doctree/vfdl_doc.h"
#include "platform/doctree/vfdl_item.h"
#include "platform/doctree/vfdl_node.h"
#include "platform/doctree/vfdl_rec.h"
#include "platform/doctree/xformat.h"
#include "platform/doctree/xml_doc.h"
