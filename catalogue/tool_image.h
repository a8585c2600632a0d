// The icon of a catalogue tool: that of the program its load command runs.
#pragma once

class CVFDLNode;

// The index of the icon in the platform's shared icon list (CAFSIcon::m_afsIcon) of the program
// named by the tool's "load_now" up to its first blank or "/": <tool folder>\app\<name>, else the
// same with ".com", else with ".exe". -1 for a node that is no tool record, without a load command,
// or whose file has no icon.
int GetToolImage(CVFDLNode* node);
