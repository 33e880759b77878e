// The source file dialog: the user names the old path.txt by typing,
// browsing, or dropping the file or a shortcut to it.
#pragma once
#include <windows.h>

// Dialog procedure of template 101. Holds no state: it forwards to the
// live ConvertJob. Ends with IDOK once the job's sourcePath names an
// existing entry, or with IDCANCEL.
INT_PTR CALLBACK SourceDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
