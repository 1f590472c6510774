// The Qt front end's list control, as the shared window logic reaches it.
#pragma once

#include <QListView>
#include <thread>

class MainWindow;

// GUI thread only: the list view that shows the device lines; null while no window is attached.
extern QListView* flatList;

// Makes `window`'s list the list control that `list` shows in (null detaches it). GUI thread.
void attach_list_control(MainWindow* window);

// Starts the listener; its replies reach the GUI thread through queued calls on flatList.
std::thread start_listener();
