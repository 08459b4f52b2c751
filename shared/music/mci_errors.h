#pragma once
// Error codes of our command interpreter, numbered like the platform's MCI codes they stand for.
//
//  code  name                  when
//  -1    (channel)             empty command, refused before it reaches the interpreter
//   259  UNRECOGNIZED_KEYWORD  a word the command does not take
//   261  UNRECOGNIZED_COMMAND  a verb other than open, set, status, play, stop, close
//   262  HARDWARE              the disc could not be read
//   263  INVALID_DEVICE_NAME   no device open under that name, or an unknown device type
//   265  DEVICE_OPEN           a second MPEGVideo file while one is open (one at a time)
//   266  CANNOT_LOAD_DRIVER    the audio output cannot be opened
//   267  MISSING_COMMAND       empty command string
//   270  BAD_INTEGER           a position that is not a number of the current time format
//   273  MISSING_PARAMETER     a keyword without its value, or status without an item
//   274  UNSUPPORTED_FUNCTION  a command the device does not do (play ... to on MPEGVideo)
//   275  FILE_NOT_FOUND        the file to open does not exist
//   276  DEVICE_NOT_READY      no disc in the drive
//   282  OUTOFRANGE            a track or position beyond the disc
//   289  DUPLICATE_ALIAS       the alias is already open
//   292  MISSING_DEVICE_NAME   a verb with nothing after it
//   293  BAD_TIME_FORMAT       a time format the device does not have
//   294  NO_CLOSING_QUOTE      a quoted name without its closing quotation mark
//   296  INVALID_FILE          the file is not a playable sound
//   305  EXTRA_CHARACTERS      a quotation mark inside a word, or text glued to a quoted name
//   306  DEVICE_NOT_INSTALLED  no CD drive (or disc image) to open
#include <cstdint>
#include <optional>
#include <string>

namespace mirevo::mci_error {

constexpr int32_t UNRECOGNIZED_KEYWORD = 259;
constexpr int32_t UNRECOGNIZED_COMMAND = 261;
constexpr int32_t HARDWARE = 262;
constexpr int32_t INVALID_DEVICE_NAME = 263;
constexpr int32_t DEVICE_OPEN = 265;
constexpr int32_t CANNOT_LOAD_DRIVER = 266;
constexpr int32_t MISSING_COMMAND = 267;
constexpr int32_t BAD_INTEGER = 270;
constexpr int32_t MISSING_PARAMETER = 273;
constexpr int32_t UNSUPPORTED_FUNCTION = 274;
constexpr int32_t FILE_NOT_FOUND = 275;
constexpr int32_t DEVICE_NOT_READY = 276;
constexpr int32_t OUTOFRANGE = 282;
constexpr int32_t DUPLICATE_ALIAS = 289;
constexpr int32_t MISSING_DEVICE_NAME = 292;
constexpr int32_t BAD_TIME_FORMAT = 293;
constexpr int32_t NO_CLOSING_QUOTE = 294;
constexpr int32_t INVALID_FILE = 296;
constexpr int32_t EXTRA_CHARACTERS = 305;
constexpr int32_t DEVICE_NOT_INSTALLED = 306;

// The text of one of the codes above; nothing for any other code.
std::optional<std::string> text(int32_t code);

} // namespace mirevo::mci_error
