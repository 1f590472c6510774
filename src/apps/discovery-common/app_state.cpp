#include "app_state.h"

#include "reply_mailbox.h"

DeviceTable list;
ListControl list_control;

std::mutex endpoint_mutex;
DiscoveryEndpoint endpoint;

std::atomic<bool> listener_stop{false};
SOCKET listener_wake[2] = {INVALID_SOCKET, INVALID_SOCKET};

ReplyMailbox mailbox;
