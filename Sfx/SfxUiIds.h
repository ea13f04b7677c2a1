// Dialog, control and string ids of the self-extractor's user interface
// (its resource scripts hold the dialogs and the texts in every language).
#pragma once

#include "platform/kernel/types.h"

// ---- Dialogs -----------------------------------------------------------------------------
constexpr UINT SFX_DLG_PROGRESS = 1000;     // progress page
constexpr UINT SFX_DLG_DESTINATION = 1100;  // destination page
constexpr UINT SFX_DLG_FILE_EXISTS = 1200;  // the overwrite question

// ---- Controls ----------------------------------------------------------------------------
constexpr int SFX_IDC_PROGRESS_BAR = 1001;    // progress page: the bar
constexpr int SFX_IDC_STATUS = 1002;          // progress page: "Extracting: <name>"
constexpr int SFX_IDC_WAIT_TEXT = 1004;       // progress page: the wait text
constexpr int SFX_IDC_FOLDER_EDIT = 1101;     // destination page: the folder field
constexpr int SFX_IDC_FOLDER_LABEL = 1102;    // destination page: its label
constexpr int SFX_IDC_FOLDER_INFO = 1103;     // destination page: the explanation
constexpr int SFX_IDC_CHANGE = 1104;          // destination page: "Change"
constexpr int SFX_IDC_EXISTS_TEXT = 1201;     // file exists: the message
constexpr int SFX_IDC_EXISTS_QUESTION = 1202; // file exists: the question
constexpr int SFX_IDC_ETCHED_LINE = 1300;     // the line above the buttons
constexpr int SFX_IDC_NEXT = 2000;            // "Next >"
constexpr int SFX_IDC_BACK = 2001;            // "< Back"
constexpr int SFX_IDC_YES = 2002;             // file exists: "Yes"
constexpr int SFX_IDC_YES_ALL = 2003;         // file exists: "Yes to All"
constexpr int SFX_IDC_NO = 2004;              // file exists: "No"
constexpr int SFX_IDC_NO_ALL = 2005;          // file exists: "No to All"

// ---- Results of the wizard's pages (besides the button ids) ------------------------------
constexpr INT_PTR SFX_PAGE_DONE = 1;       // extraction ended: the wizard succeeded
constexpr INT_PTR SFX_PAGE_CANCEL = 2;     // cancelled, or extraction could not go on

// ---- Strings ------------------------------------------------------------------------------
constexpr UINT SFX_IDS_EXTRACTING_HEADING = 150;  // "Extracting Files"
constexpr UINT SFX_IDS_WAIT_TEXT = 152;           // "Please wait while the wizard extracts..."
constexpr UINT SFX_IDS_STATUS_FORMAT = 154;       // "Extracting: %s"
constexpr UINT SFX_IDS_LOCATION_HEADING = 160;    // "Location to Save Files"
constexpr UINT SFX_IDS_SELECT_DIRECTORY = 164;    // "Select Directory"
constexpr UINT SFX_IDS_CANCEL_BUTTON = 302;       // "&Cancel"
constexpr UINT SFX_IDS_YES_BUTTON = 304;          // "&Yes"
constexpr UINT SFX_IDS_YES_ALL_BUTTON = 305;      // "Y&es to All"
constexpr UINT SFX_IDS_NO_BUTTON = 306;           // "&No"
constexpr UINT SFX_IDS_NO_ALL_BUTTON = 307;       // "N&o to All"
constexpr UINT SFX_IDS_ERROR_CAPTION = 500;       // "Error"
constexpr UINT SFX_IDS_ABORTING = 501;            // "Aborting the installation."
constexpr UINT SFX_IDS_ERR_MEMORY = 502;          // "Error: Out of memory."
constexpr UINT SFX_IDS_ERR_SIGNATURE = 503;       // "Error: Bad file signature."
constexpr UINT SFX_IDS_ERR_BLOCK = 504;           // "Error: Mismatched file block."
constexpr UINT SFX_IDS_ERR_BUFFER = 505;          // "Error: Buffer too small."
constexpr UINT SFX_IDS_ERR_DISK_SPACE = 506;      // "Error: Out of disk space on %s."
constexpr UINT SFX_IDS_ERR_VOLUME = 507;          // "Error: Unable to find volume %s."
constexpr UINT SFX_IDS_ERR_NO_FILE = 508;         // "Error: Unable to find the file '%s'."
constexpr UINT SFX_IDS_ERR_CRC = 509;             // "Error: CRC mismatch."
constexpr UINT SFX_IDS_ERR_OTHER = 510;           // "Please make sure you have local system ..."
constexpr UINT SFX_IDS_EXISTS_CAPTION = 511;      // "File Exists"
constexpr UINT SFX_IDS_EXISTS_TEXT = 512;         // "The following file is already ...:\n\n%s"
constexpr UINT SFX_IDS_EXISTS_READONLY_TEXT = 513;  // "... and is marked Read-Only:\n\n%s"
constexpr UINT SFX_IDS_EXISTS_QUESTION = 514;     // "Do you wish to overwrite this file?"
constexpr UINT SFX_IDS_WIZARD_CAPTION = 515;      // "Unpacking Wizard"
constexpr UINT SFX_IDS_CONFIRM_CANCEL = 516;      // "Do you wish to cancel the installation?"
constexpr UINT SFX_IDS_BAD_FOLDER = 554;          // "Invalid directory!  Please enter a valid path."
constexpr UINT SFX_IDS_ROOT_FOLDER = 555;         // "The files cannot be extracted to the root ..."
constexpr UINT SFX_IDS_CANNOT_CREATE = 556;       // "Unable to create the specified directory..."
constexpr UINT SFX_IDS_NO_DRIVE = 557;            // "The system cannot find the drive specified..."
constexpr UINT SFX_IDS_FOLDER_FULL = 558;         // "The destination folder is full..."
constexpr UINT SFX_IDS_PATH_TOO_LONG = 559;       // "... because the path is too long..."
constexpr UINT SFX_IDS_CANCELING = 560;           // "Canceling the installation."

// ---- Resources ------------------------------------------------------------------------------
constexpr UINT SFX_IDR_BANNER = 107;  // the built-in banner PNG
