// The site's answers as the refresher classifies them (decoded from GBK first), and the text
// between two markers. Input: left marker, "\n", right marker, "\n", the answer's bytes.

#include "fuzz_target.h"

#include "common/encoding.h"
#include "common/text.h"
#include "site/listing_refresh.h"

QICHENG_FUZZ_TARGET(site_answers) {
    fuzz::Pieces pieces(data, size);
    const std::string left(pieces.next()), right(pieces.next());
    const std::string answer = common::from_gbk(pieces.rest());

    const site::RefreshOutcome outcome = site::classify_refresh_answer(answer);
    FUZZ_CHECK(outcome.signed_out == (answer.find("请先登录") != std::string::npos));
    FUZZ_CHECK(outcome.text.size() <= answer.size() || outcome.signed_out || outcome.text == "刷新成功");

    const std::string between = common::text_between(answer, left, right);
    FUZZ_CHECK(between.size() <= answer.size());
    FUZZ_CHECK(between.empty() || answer.find(between) != std::string::npos);
    (void)common::text_between(pieces.rest(), left, right);
    return 0;
}
