#pragma once

#include <string>

namespace qm {

// The text of the standard error box for an error that escaped a handler:
// the error's own message, with a full stop added when the message is not
// empty and its last character sorts above ".".
std::string ErrorBoxText(std::string message);

}  // namespace qm
