// Character data as the parser hands it to the tree: references resolved,
// line ends normalised.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

namespace qm::xml {

enum class CharacterDataKind { Text, AttributeValue };

struct ReferenceError {
    std::size_t offset = 0;  // within the raw text
    std::string message;
};

// Resolves character references and the five predefined entities in raw,
// appending the result to out. Entities are never expanded: any other
// reference is an error, worded differently for names the DOCTYPE declared.
// Text gets "\r\n" and "\r" as "\n"; attribute values get each literal tab
// and line end as a blank.
[[nodiscard]] bool ResolveCharacterData(std::string_view raw, CharacterDataKind kind,
                                        const std::unordered_set<std::string>& declaredEntities, std::string& out,
                                        ReferenceError& error);

// Line ends of comments, CDATA and processing instructions, normalised and
// appended to out.
void AppendNormalizedLineEnds(std::string_view raw, std::string& out);

}  // namespace qm::xml
