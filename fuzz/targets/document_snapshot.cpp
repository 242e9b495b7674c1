// The snapshot script's answer, whatever the page made of it, and the finder over it. Input:
// type list, "\n", key, "\n", the JSON text.

#include "fuzz_target.h"

#include "webpage/document_snapshot.h"

QICHENG_FUZZ_TARGET(document_snapshot) {
    fuzz::Pieces pieces(data, size);
    const std::string type_list(pieces.next()), key(pieces.next());
    const auto snapshot = webpage::DocumentSnapshot::from_json(pieces.rest());
    if (!snapshot)
        return 0;
    const std::size_t elements = snapshot->inputs().size() + snapshot->buttons().size();
    for (int skip : {0, 1, 3}) {
        for (const std::string_view kind : {std::string_view(type_list), webpage::kTextBoxTypes, webpage::kCheckBoxTypes}) {
            int position = 0;
            const webpage::InputElement* found = snapshot->find_input(kind, key, skip, position);
            FUZZ_CHECK((found == nullptr) == (position == -1));
            if (found) {
                FUZZ_CHECK(position >= 1 && static_cast<std::size_t>(position) <= elements);
                FUZZ_CHECK(found->index >= 0 && static_cast<std::size_t>(found->index) < elements);
            }
        }
    }
    FUZZ_CHECK(snapshot->inputs_of_kind(type_list).size() <= snapshot->inputs().size());
    return 0;
}
