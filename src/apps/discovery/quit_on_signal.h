// SIGINT and SIGTERM close the window the orderly way (the same shutdown as the close button).
#pragma once

class QObject;

void quit_on_termination_signals(QObject* parent);
