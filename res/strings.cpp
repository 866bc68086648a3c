// The string table and the progress window's texts.
#include <map>

#include "res/res.hpp"

namespace {

const std::map<int, std::string>& StringTable() {
    static const std::map<int, std::string> table = {
        {kStrDocType,
         "Orvia TK358 Camera Update Software\nTk358fw\nTk358fw Document\n\n\nTk358fw.Document\n"
         "Tk358fw Document"},
        {kStrTitle, "Orvia TK358 Camera Update Software"},
        {kStrImagesPresent,
         "The camera contains images,\ruse the camera application to save and delete the images "
         "before downloading firmware.   "},
        {kStrCameraNotFound,
         "Camera can not be found. Please exit and verify \nthat the camera is on and has been "
         "properly connected."},
        {kStrUpdateFailed,
         "Camera update failed. Quit and follow the RETRY PROCEDURE \n in the ReadMe file. "},
        {kStrFilter, "Firmware Files (*.fw )   |*.fw||  "},
        {kStrFileError, "File open or read error!"},
        {kStrFileNotFound, "File not found error!"},
        {kStrSelectionCanceled, "File selection was canceled !"},
        {kStrSelectPort, "Select the communication port. "},
        {kStrCameraId, "Camera ID"},
        {kStrFirmwareVersion, "Firmware Version"},
        {kStrWrongFile, "\nSelected file is wrong."},
        {kStrSuccess,
         "Firmware %d.%d was successfully installed in your Orvia Lumen Precision TK358 zoom "
         "camera!\nClose the lens cover to complete the update."},
        {kStrSearching, "Searching for Orvia Lumen Precision TK358 zoom camera ..."},
    };
    return table;
}

}  // namespace

const std::string& LoadString(int id) {
    static const std::string empty;
    const auto& table = StringTable();
    const auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}

const char kProgressRunning[] = "Downloading firmware ...";
const char kProgressCompleted[] = "Downloading firmware completed.";
const char kProgressFailed[] = "Downloading firmware failed.";
