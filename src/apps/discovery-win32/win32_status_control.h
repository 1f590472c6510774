// The Win32 front end's status line, as the shared window logic reaches it.
#pragma once

class MainWindow;

// Makes `window`'s status bar show the window's status, and its silence timer bring the "nobody
// answered" hint (null detaches it). GUI thread.
void attach_status_control(MainWindow* window);
