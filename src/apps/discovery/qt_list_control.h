// The Qt front end's list control, as the shared window logic reaches it.
#pragma once

#include <QListWidget>
#include <thread>

// GUI thread only: the list widget that shows the device lines; null while no window is attached.
extern QListWidget* flatList;

// Makes `widget` the list control that device lines go to (null detaches it). GUI thread.
void attach_list_control(QListWidget* widget);

// Starts the listener; its replies reach the GUI thread through queued calls on flatList.
std::thread start_listener();
