#include "shared/music/mci_errors.h"

#include <utility>

namespace mirevo::mci_error {

std::optional<std::string> text(int32_t code) {
    static const std::pair<int32_t, const char*> texts[] = {
        {UNRECOGNIZED_KEYWORD, "The driver cannot recognize the specified command parameter."},
        {UNRECOGNIZED_COMMAND, "The driver cannot recognize the specified command."},
        {HARDWARE, "The disc could not be read."},
        {INVALID_DEVICE_NAME, "The specified device is not open or is not recognized."},
        {DEVICE_OPEN, "Another file is already open on this device. Close it first."},
        {CANNOT_LOAD_DRIVER, "The sound output cannot be opened."},
        {MISSING_COMMAND, "No command was specified."},
        {BAD_INTEGER, "The position is not valid for the current time format."},
        {MISSING_PARAMETER, "The specified command requires a parameter. Please supply one."},
        {UNSUPPORTED_FUNCTION, "The device does not support this command."},
        {FILE_NOT_FOUND, "Cannot find the specified file. Make sure the path and filename are correct."},
        {DEVICE_NOT_READY, "The device is not ready: there is no disc in the drive."},
        {OUTOFRANGE, "The specified parameter is out of range for the specified command."},
        {DUPLICATE_ALIAS, "The specified alias is already being used. Use a unique alias."},
        {MISSING_DEVICE_NAME, "No device name was given with the command."},
        {BAD_TIME_FORMAT, "The specified time format is not supported by this device."},
        {NO_CLOSING_QUOTE, "A closing quotation mark is missing from the parameter value."},
        {INVALID_FILE, "The file is not a sound this device can play."},
        {EXTRA_CHARACTERS, "A quotation mark stands inside a word, or text follows a quoted name."},
        {DEVICE_NOT_INSTALLED, "There is no CD drive or disc image to open."},
    };
    for (const auto& [c, t] : texts)
        if (c == code) return std::string(t);
    return std::nullopt;
}

} // namespace mirevo::mci_error
