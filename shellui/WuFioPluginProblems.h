// A file-format plug-in's state: whether its reader or renderer class is
// usable, and the disclosure of its problem to the user (the plug-in's own
// explanation in dialog WUSHELLUI_DLG_PLUGINPROBLEM of the shell UI pool,
// or the error context "An error occurred in a file format plug-in." when
// it gives none).
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/user/windows.h"

// TRUE when the class's state query reports a non-negative status; FALSE
// for a NULL class or a negative status. No explanation is asked for.
BOOL WuFio_IsPluginAccessible(IWuReadFileClass* cls);
BOOL WuFio_IsPluginAccessible(IWuRenderFileClass* cls);

// Asks the class's state with its explanation. A NULL class or a
// non-negative status shows nothing. A negative status without text shows
// the error-context box (MB_ICONERROR); with text, the problem dialog over
// `parent`, its title, link and information line from the class's string
// properties 5, 8 and 9 when it answers them. Every text is freed.
void WuFio_DisclosePluginProblems(IWuReadFileClass* cls, HWND parent);
void WuFio_DisclosePluginProblems(IWuRenderFileClass* cls, HWND parent);

// Texts of the problem dialog, zero-filled before use.
struct WUFIO_PLUGINPROBLEM {
  WCHAR message[2048];   // the plug-in's explanation
  WCHAR infoLine[2048];  // control 1007; empty: hidden
  WCHAR title[260];      // the caption; empty: the template's
  WCHAR link[260];       // control 1001, opened as a web page; empty: hidden
};

// The problem dialog's procedure; the parameter of WM_INITDIALOG is a
// WUFIO_PLUGINPROBLEM that outlives the dialog.
INT_PTR PluginProblem_DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
