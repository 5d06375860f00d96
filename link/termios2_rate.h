#pragma once

namespace veltrona {

// Sets both directions of an open line to a rate that the termios speed table lacks.
// Returns 0 or the errno of the failing call.
int SetCustomBaudrate(int fd, int baudrate);

}  // namespace veltrona
