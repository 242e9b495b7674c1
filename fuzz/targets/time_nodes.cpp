// Time nodes from any boxes, and the day's refresh count. Input: start hour, start minute, end
// hour, end minute, interval, filter, then the ID list, one per line.

#include "fuzz_target.h"

#include "common/text.h"
#include "editor/time_nodes.h"

QICHENG_FUZZ_TARGET(time_nodes) {
    fuzz::Pieces pieces(data, size);
    editor::TimeNodeBoxes boxes;
    boxes.start_hour = pieces.next();
    boxes.start_minute = pieces.next();
    boxes.end_hour = pieces.next();
    boxes.end_minute = pieces.next();
    boxes.interval = pieces.next();
    boxes.filter = pieces.next();
    const std::string ids(pieces.rest());

    const editor::GeneratedNodes generated = editor::generate_time_nodes(boxes);
    if (!generated.ok())
        FUZZ_CHECK(generated.nodes.empty());
    const long long nodes = editor::count_entries(generated.nodes);
    FUZZ_CHECK(nodes <= editor::kMaxTimeNodes);
    FUZZ_CHECK(nodes >= 0);
    for (const auto mode : {common::PlanMode::FixedPoint, common::PlanMode::BatchRotation, common::PlanMode::Neither}) {
        const long long count = editor::refresh_count(generated.nodes, ids, common::text_to_int(boxes.filter), mode);
        if (mode == common::PlanMode::Neither)
            FUZZ_CHECK(count == -1);
    }
    return 0;
}
