#include "app/desktop/desktop.hpp"

int16_t PortFromCheckedRadio(int checkedId, int16_t current) {
    if (checkedId < kRadioCom1 || checkedId > kRadioAuto) {
        return current;
    }
    const auto port = static_cast<int16_t>(checkedId - 110);
    return port == 5 ? int16_t{0} : port;
}
