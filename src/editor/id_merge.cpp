#include "editor/id_merge.h"

#include "common/text.h"

#include <unordered_set>

namespace editor {

std::string merge_ids(std::string_view own, std::string_view picked) {
    std::string joined(own);
    joined += ',';
    joined += picked;

    std::string merged;
    std::unordered_set<std::string> seen;
    for (const std::string& piece : common::split_at_comma(joined)) {
        std::string id = common::trim_spaces(piece);
        if (id.empty() || seen.contains(id))
            continue;
        if (!merged.empty())
            merged += ',';
        merged += id;
        seen.insert(std::move(id));
    }
    return merged;
}

} // namespace editor
