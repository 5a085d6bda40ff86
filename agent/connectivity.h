#pragma once
// Whether the PC has a working Internet connection, as far as the system
// can tell: the connected state, and for remote-access setups the
// network-alive query.
bool IsConnected();
