// Turning the bytes of a file into the UTF-8 text the parser reads: the
// byte order mark or the encoding named in the XML declaration decides.
#pragma once

#include <string>
#include <string_view>

namespace qm::xml {

struct DecodedText {
    std::string utf8;          // without the byte order mark
    std::string encodingName;  // canonical name of what the bytes were read as
    std::string error;         // why the bytes could not be read; empty on success
};

DecodedText DecodeXmlBytes(std::string_view bytes);

// The value of the encoding pseudo-attribute of the declaration that starts
// text, read with ASCII rules only (it comes before the decoder is chosen);
// empty when there is no declaration or it names no encoding.
std::string DeclaredEncoding(std::string_view text);

}  // namespace qm::xml
