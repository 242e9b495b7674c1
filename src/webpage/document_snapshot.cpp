#include "webpage/document_snapshot.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace webpage {
namespace {

std::string text_of(const QJsonObject& object, QLatin1String key) {
    return object.value(key).toString().toStdString();
}

std::optional<std::vector<InputElement>> elements_of(const QJsonValue& value, int first_index) {
    if (!value.isArray())
        return std::nullopt;
    std::vector<InputElement> elements;
    const QJsonArray array = value.toArray();
    elements.reserve(static_cast<std::size_t>(array.size()));
    for (const QJsonValue& item : array) {
        if (!item.isObject())
            return std::nullopt;
        const QJsonObject object = item.toObject();
        InputElement element;
        element.type = text_of(object, QLatin1String("type"));
        element.name = text_of(object, QLatin1String("name"));
        element.id = text_of(object, QLatin1String("id"));
        element.title = text_of(object, QLatin1String("title"));
        element.value = text_of(object, QLatin1String("value"));
        element.checked = object.value(QLatin1String("checked")).toBool();
        element.index = first_index + static_cast<int>(elements.size());
        elements.push_back(std::move(element));
    }
    return elements;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

bool names_key(const InputElement& element, std::string_view key) {
    return element.name == key || element.id == key || element.title == key;
}

} // namespace

bool type_in_list(std::string_view type, std::string_view type_list) {
    return type_list.find(type) != std::string_view::npos;
}

long long key_number(std::string_view key) {
    while (!key.empty() && is_blank(key.front()))
        key.remove_prefix(1);
    while (!key.empty() && is_blank(key.back()))
        key.remove_suffix(1);
    // from_chars takes no plus sign but would take "inf" and "nan", which are no numbers here.
    if (key.starts_with('+'))
        key.remove_prefix(1);
    if (key.empty() || !(key.front() == '-' || key.front() == '.' || (key.front() >= '0' && key.front() <= '9')))
        return 0;
    double value = 0;
    const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), value);
    if (error != std::errc{} || end != key.data() + key.size() || !std::isfinite(value))
        return 0;
    // No page has that many fields; a position this far out can only fail to match.
    constexpr double kFarOut = 1e15;
    return static_cast<long long>(std::trunc(std::clamp(value, -kFarOut, kFarOut)));
}

std::optional<DocumentSnapshot> DocumentSnapshot::from_json(std::string_view json) {
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(json.data(), static_cast<qsizetype>(json.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    if (!object.value(QLatin1String("title")).isString() || !object.value(QLatin1String("body")).isBool())
        return std::nullopt;
    auto inputs = elements_of(object.value(QLatin1String("inputs")), 0);
    if (!inputs)
        return std::nullopt;
    auto buttons = elements_of(object.value(QLatin1String("buttons")), static_cast<int>(inputs->size()));
    if (!buttons)
        return std::nullopt;

    DocumentSnapshot snapshot;
    snapshot.title_ = text_of(object, QLatin1String("title"));
    snapshot.has_body_ = object.value(QLatin1String("body")).toBool();
    // Without a body there is nothing to walk, whatever the script found.
    if (snapshot.has_body_) {
        snapshot.inputs_ = std::move(*inputs);
        snapshot.buttons_ = std::move(*buttons);
    }
    return snapshot;
}

const InputElement* DocumentSnapshot::find_input(std::string_view type_list, std::string_view key, int skip,
                                                 int& position) const {
    const long long wanted_position = key_number(key);
    auto search = [&](const std::vector<InputElement>& elements) -> const InputElement* {
        for (const InputElement& element : elements) {
            if (!type_in_list(element.type, type_list))
                continue;
            ++position;
            if (names_key(element, key)) {
                if (skip > 0) {
                    --skip;
                    continue;
                }
                return &element;
            }
            if (position == wanted_position)
                return &element;
        }
        return nullptr;
    };
    if (const InputElement* found = search(inputs_))
        return found;
    if (type_list.find("button") != std::string_view::npos) {
        if (const InputElement* found = search(buttons_))
            return found;
    }
    position = -1;
    return nullptr;
}

std::vector<const InputElement*> DocumentSnapshot::inputs_of_kind(std::string_view type_list) const {
    std::vector<const InputElement*> found;
    for (const InputElement& element : inputs_) {
        if (type_in_list(element.type, type_list))
            found.push_back(&element);
    }
    return found;
}

void DocumentSnapshot::set_value(int index, std::string value) {
    if (index < 0)
        return;
    const auto place = static_cast<std::size_t>(index);
    if (place < inputs_.size())
        inputs_[place].value = std::move(value);
    else if (place - inputs_.size() < buttons_.size())
        buttons_[place - inputs_.size()].value = std::move(value);
}

} // namespace webpage
