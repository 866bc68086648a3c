// The prompt line as the desktop front ends draw it.
#include "app/app.hpp"
#include "app/desktop/desktop.hpp"

std::string PromptLineText(std::string_view promptText) {
    return CameraTextToUtf8(promptText);
}
