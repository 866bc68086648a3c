// The port dialog's radio buttons and the port number they stand for.
#pragma once

#include <cstdint>

enum PortRadioId : int {
    kRadioCom1 = 111,
    kRadioCom2 = 112,
    kRadioCom3 = 113,
    kRadioCom4 = 114,
    kRadioAuto = 115,
};

// The port for the checked radio button: 1 to 4 for COM1 to COM4, 0 for AUTO. `checkedId` is 0
// when no button is checked; then (and for any other identifier) the port keeps `current`.
int16_t PortFromCheckedRadio(int checkedId, int16_t current);
