#include "app/gui/wildcard.hpp"

#include <vector>

std::string WildcardFromFilter(const std::string& filter) {
    std::vector<std::string> fields;
    std::string field;
    for (char c : filter) {
        if (c == '|') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);

    std::string wildcard;
    for (size_t i = 0; i + 1 < fields.size(); i += 2) {
        if (fields[i].empty()) {
            break;  // the empty pair that ends the list
        }
        if (!wildcard.empty()) {
            wildcard += '|';
        }
        wildcard += fields[i] + '|' + fields[i + 1];
    }
    return wildcard.empty() ? std::string("*") : wildcard;
}
