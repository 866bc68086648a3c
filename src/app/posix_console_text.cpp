// Standard streams on POSIX systems: the terminal takes and gives UTF-8 bytes as they are.
#include "app/app.hpp"

CConsoleText::CConsoleText() = default;

CConsoleText::~CConsoleText() = default;
