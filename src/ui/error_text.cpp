#include "ui/error_text.h"

namespace qm {

std::string ErrorBoxText(std::string message) {
    // Compared as unsigned bytes: the trailing byte of a multi-byte character
    // sorts above "." too, so a message ending in Chinese gets its full stop.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        message += '.';
    return message;
}

}  // namespace qm
