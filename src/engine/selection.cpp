#include "engine/selection.h"

#include "common/text.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace engine {
namespace {

// The IDs of a batch joined by ",". An empty ID added to an empty batch leaves it empty, so
// the number of IDs is told by the commas, as the walk below expects.
class Batch final {
public:
    void append(const std::string& id) {
        if (text_.empty()) {
            text_ = id;
        } else {
            text_ += ',';
            text_ += id;
            ++commas_;
        }
    }
    bool empty() const { return text_.empty(); }
    long long size() const { return empty() ? 0 : commas_ + 1; }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
    long long commas_ = 0;
};

// Positions past the end take the first ID again, not the next one in turn.
void append_from_start(Batch& batch, const std::vector<std::string>& ids, long long count) {
    for (long long k = 0; k < count; ++k)
        batch.append(k < static_cast<long long>(ids.size()) ? ids[static_cast<std::size_t>(k)] : ids.front());
}

} // namespace

std::string select_ids(const common::Plan& plan) {
    if (plan.mode() == common::PlanMode::FixedPoint)
        return plan.id;
    if (plan.mode() != common::PlanMode::BatchRotation)
        return {};
    const std::vector<std::string> ids = common::split_at_comma(plan.id);
    if (ids.empty())
        return {};
    const long long limit = std::max<long long>(kMaxBatchRepeats, static_cast<long long>(ids.size()));
    // A size below zero selects as a size of 0 does.
    const long long size = std::clamp(common::text_to_int(plan.num), 0LL, limit);

    Batch batch;
    if (plan.progress.empty()) {
        append_from_start(batch, ids, size);
        return batch.take();
    }
    // Every copy of the progress ID is skipped; appending starts after the first one.
    bool seen = false;
    for (const std::string& id : ids) {
        if (id == plan.progress) {
            seen = true;
            continue;
        }
        if (seen)
            batch.append(id);
        if (!batch.empty() && batch.size() >= size)
            break;
    }
    // Also when the progress ID is no longer in the list: the batch is then taken from the start.
    append_from_start(batch, ids, size - batch.size());
    return batch.take();
}

std::string progress_of(const std::string& selection) {
    std::string_view v = selection;
    if (v.find('#') == std::string_view::npos) {
        const std::size_t comma = v.rfind(',');
        return std::string(comma == std::string_view::npos ? v : v.substr(comma + 1));
    }
    // An ID holding "#" cuts the walk short there: each step keeps the text after the first
    // comma up to the next "#".
    while (true) {
        const std::size_t comma = v.find(',');
        if (comma == std::string_view::npos)
            return std::string(v);
        v.remove_prefix(comma + 1);
        v = v.substr(0, v.find('#'));
    }
}

} // namespace engine
