// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of remote control: its menu entry, its status-bar panel, and what
// it says on standard error and in message boxes, each written once.
#pragma once

#include <QLatin1String>

namespace RemoteText {
inline constexpr QLatin1String MenuEntry{"Remote control (SCPI)"};
// The status-bar panel while remote control is on, with its client count.
inline constexpr QLatin1String Panel{"SCPI: %1"};
inline constexpr QLatin1String PanelName{"Remote control"};
inline constexpr QLatin1String Listening{"Remote control (SCPI) on %1"};
inline constexpr QLatin1String Clients{"%1 of at most %2 clients connected"};
inline constexpr QLatin1String Exposed{
    "Remote control (SCPI) listens on %1, beyond this computer: anyone who can reach that "
    "address can drive the supply. It asks for no password; listen on 127.0.0.1 unless "
    "every machine on that network is yours to trust."};
inline constexpr QLatin1String Title{"Remote control"};
inline constexpr QLatin1String ListenFailed{
    "Remote control (SCPI) could not listen on %1: %2.\n"
    "The panel goes on without it; another program may hold the port."};
inline constexpr QLatin1String BadAddress{
    "%1: not an address and port: \"%2\" (for example 127.0.0.1:5025)"};
inline constexpr QLatin1String Stopped{"Remote control (SCPI) stopped"};
} // namespace RemoteText
