// Windows' standard handles have no numbers that a port could take: nothing to fill.
#include "serial/serial.hpp"

void FillClosedStandardDescriptors() {}
