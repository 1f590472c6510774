// SIGINT and SIGTERM end a run in order: the handler only raises flags, the session does the rest.
#pragma once

#include <atomic>

namespace discover {

// From now on, either signal marks the run interrupted and raises `wake` (the receive loop's stop flag)
// when it is not null. Pass null before `wake` goes away.
void stop_on_interrupt(std::atomic<bool>* wake);

bool interrupted();

}  // namespace discover
