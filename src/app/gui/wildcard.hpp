// Open-file dialog filters: the string table keeps them as "description|pattern|...||"; the
// toolkit wants "description|pattern|..." without the empty pair that ends the list.
#pragma once

#include <string>

std::string WildcardFromFilter(const std::string& filter);
