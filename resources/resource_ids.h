// Numbers of the strings and dialogs of the platform's resource library, Parlance10.dll.
#pragma once

#define IDS_NEW_REGISTRATION_DOC 51374  // initial text of a new registration document
#define IDS_NO_INSTALLED_VERSION 51787  // "%s" has no installed version
#define IDS_QUIT_TOOL 51788             // may the tool's running programs be closed?
#define IDS_SETUP_AGAIN 51789           // set up again although already set up?
#define IDS_SWAP_STILL_ACTIVE 51790     // a swap is still active: keep it?
#define IDS_REMOVE_REGISTRATIONS 51801  // remove the tool's registrations?
#define IDS_PROGRESS_DELETE 51802       // progress caption: deleting the registration folder
#define IDS_PROGRESS_COPY 51803         // progress caption: copying the template
#define IDS_DEFAULT_TOOL_NAME 51804     // the tool's name when it has none
#define IDS_STOP_WAITING 51805          // stop waiting for the service?
#define IDS_CONSENT_FOLLOWS 51934       // a consent prompt follows
#define IDS_SYSTEM_TOO_OLD 51935        // the system is too old for elevation
#define IDS_CAPTION 51972               // caption of the system's message boxes

// Texts of this system beyond the platform's own numbers.
#define IDS_SWAP_FOLDER_UNUSABLE 52001  // the swap folder is not set or has no parent folder
#define IDS_BACKUP_NOT_WRITTEN 52002    // swap in refused: the backup cannot be written
#define IDS_ITEMS_NOT_SWAPPED 52003     // swap in undone: an item is in use or cannot be written
#define IDS_ITEMS_HELD_ELSEWHERE 52004  // swap in refused: another tool holds the items
#define IDS_TOOL_DOC_NOT_WRITTEN 52005  // swap out stopped: the tool's document cannot be written
#define IDS_IN_USE 52006                // how a failure of error 32 is named

#define IDD_PROGRESS 278  // progress dialog: default button IDOK, cancel button IDCANCEL
#define IDD_HIDDEN 582    // invisible top-level window of the host's main process
#define IDC_PROGRESS_TEXT 1001
