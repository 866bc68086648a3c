// The initial file name that a file dialog takes from its filter text.
#include "firmware/firmware.hpp"

std::string InitialNameFromFilter(const std::string& filter) {
    for (size_t i = 0; i + 1 < filter.size(); ++i) {
        const char after = i + 2 < filter.size() ? filter[i + 2] : '\0';
        if (filter[i] == '*' && filter[i + 1] == '.' && after != '*') {
            return filter.substr(i, 5);
        }
    }
    return {};
}
