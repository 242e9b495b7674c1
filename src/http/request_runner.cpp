#include "http/request_runner.h"

#include "common/encoding.h"

namespace http {

const std::string& timeout_message() {
    static const std::string message = common::to_gbk(
        "超时返回，指定网站不能访问，或者你的网络出现问题，你可以把参数中的＂超时返回＂的值设置长一些。");
    return message;
}

} // namespace http
