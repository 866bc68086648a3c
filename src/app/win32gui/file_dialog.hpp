// The open-file dialog for the firmware file: the filter of the string table, the initial name,
// an existing file only, centred over the view when it opens.
#pragma once

#include "app/win32gui/windows_api.hpp"

#include <cstdint>
#include <string>

// "Firmware Files (*.fw )   |*.fw||  " as the dialog's filter: description and pattern pairs, each
// ending with a null character, the list ending with one more. A filter with no pair gives all
// files.
std::wstring OpenDialogFilter(const std::string& filter);

// kChooseOk with the chosen file's path (UTF-8), kChooseCancelled, or kChooseDialogFailed when the
// dialog could not run.
int16_t ChooseFileWithDialog(HWND owner, const std::string& filter, const std::string& initialName,
                             std::string* path);
