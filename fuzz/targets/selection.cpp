// The listings a firing plan refreshes, for any plan. Input: sort, num, progress, then the ID
// list, one per line.

#include "fuzz_target.h"

#include "common/text.h"
#include "engine/selection.h"

#include <algorithm>

QICHENG_FUZZ_TARGET(selection) {
    fuzz::Pieces pieces(data, size);
    common::Plan plan;
    plan.sort = pieces.next();
    plan.num = pieces.next();
    plan.progress = pieces.next();
    plan.id = pieces.rest();
    const std::string selection = engine::select_ids(plan);
    if (plan.mode() == common::PlanMode::FixedPoint)
        FUZZ_CHECK(selection == plan.id);
    else if (plan.mode() != common::PlanMode::BatchRotation)
        FUZZ_CHECK(selection.empty());
    else {
        const std::vector<std::string> ids = common::split_at_comma(plan.id);
        const std::size_t bound = static_cast<std::size_t>(std::max<long long>(engine::kMaxBatchRepeats, 0)) + ids.size();
        const std::vector<std::string> picked = common::split_at_comma(selection);
        FUZZ_CHECK(picked.size() <= bound);
        for (const std::string& id : picked)
            FUZZ_CHECK(std::find(ids.begin(), ids.end(), id) != ids.end());
        // Sizes from the bottom of the integer range up to 0 all select as 0 does.
        if (common::text_to_int(plan.num) <= 0) {
            common::Plan zero = plan;
            zero.num = "0";
            FUZZ_CHECK(selection == engine::select_ids(zero));
        }
    }
    const std::string progress = engine::progress_of(selection);
    FUZZ_CHECK(progress.size() <= selection.size());
    return 0;
}
