#include "webpage/page_automation.h"

#include "webpage/page_script.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <functional>

namespace webpage {
namespace {

constexpr std::chrono::milliseconds kAnswerLimit{1000};

// Collects the body's inputs and then its buttons, keeps them page-side under the instance's
// slot so that writes reach exactly the elements the snapshot describes, and returns the
// snapshot as JSON. It runs in the application's own script world: the page's scripts can
// neither see the kept list nor replace the functions used here.
const char* const kCollect = R"JS(
function (slot, serial) {
  const kept = window.__qichengSnapshots || (window.__qichengSnapshots = {});
  const body = document.body;
  const inputs = body ? Array.from(body.getElementsByTagName('input')) : [];
  const buttons = body ? Array.from(body.getElementsByTagName('button')) : [];
  kept[slot] = { serial: serial, elements: inputs.concat(buttons) };
  const text = v => (v === undefined || v === null) ? '' : String(v);
  const describe = el => ({ type: text(el.type), name: text(el.name), id: text(el.id), title: text(el.title),
                            value: text(el.value), checked: el.checked === true });
  return JSON.stringify({ title: text(document.title), body: !!body,
                          inputs: inputs.map(describe), buttons: buttons.map(describe) });
}
)JS";

// The element a snapshot's index names, or null when the page is no longer the one the
// snapshot was taken from (another page, a later snapshot, the element removed).
const char* const kKeptElement = R"JS(
function (slot, serial, index) {
  const kept = (window.__qichengSnapshots || {})[slot];
  if (!kept || kept.serial !== serial) return null;
  const el = kept.elements[index];
  return (el && el.isConnected) ? el : null;
}
)JS";

// Sets the value through the element's own native setter, so that pages whose scripts track
// the field see it, then tells them as typing would.
const char* const kWriteValue = R"JS(
function (el, value) {
  if (!el) return 'null';
  const proto = el instanceof HTMLButtonElement ? HTMLButtonElement.prototype : HTMLInputElement.prototype;
  try {
    Object.getOwnPropertyDescriptor(proto, 'value').set.call(el, value);
  } catch (e) {
    return 'null';
  }
  el.dispatchEvent(new Event('input', { bubbles: true }));
  el.dispatchEvent(new Event('change', { bubbles: true }));
  return JSON.stringify({ value: String(el.value) });
}
)JS";

QString json_text(const QJsonArray& array) {
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QString collect_call(long long slot, long long serial) {
    return QStringLiteral("(%1)(%2, %3)").arg(QString::fromUtf8(kCollect), QString::number(slot), QString::number(serial));
}

long long new_slot() {
    static std::atomic<long long> next{1};
    return next++;
}

} // namespace

PageAutomation::PageAutomation() : slot_(new_slot()) {}

PageAutomation::~PageAutomation() = default;

bool PageAutomation::attach(QWidget* window) {
    if (!window)
        return false;
    document_ = {};
    Document fetched;
    fetch_document(window, fetched);
    document_ = fetched;
    return !document_.empty();
}

void PageAutomation::release_document() { document_ = {}; }

QWebEngineView* PageAutomation::find_server_window(QWidget* parent) {
    if (!parent)
        return nullptr;
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget)
            continue;
        if (auto* view = qobject_cast<QWebEngineView*>(widget))
            return view;
        if (QWebEngineView* view = find_server_window(widget))
            return view;
    }
    return nullptr;
}

bool PageAutomation::fetch_document(QWidget* window, Document& document) {
    document = {};
    if (!window)
        return false;
    QWebEngineView* view = qobject_cast<QWebEngineView*>(window);
    if (!view)
        view = find_server_window(window);
    if (!view)
        return false;
    return take_snapshot(view->page(), [this](long long serial) { return collect_call(slot_, serial); }, document);
}

bool PageAutomation::take_snapshot(QWebEnginePage* page, const std::function<QString(long long serial)>& script,
                                   Document& document) {
    const long long serial = next_serial_++;
    QPointer<QWebEnginePage> guarded(page);
    const std::optional<std::string> answer = run_page_script(page, script(serial), kAnswerLimit);
    if (!answer || !guarded)
        return false;
    std::optional<DocumentSnapshot> snapshot = DocumentSnapshot::from_json(*answer);
    if (!snapshot)
        return false;
    document.page_ = guarded;
    document.snapshot_ = std::make_shared<DocumentSnapshot>(std::move(*snapshot));
    document.serial_ = serial;
    return true;
}

int PageAutomation::count_inputs(std::string_view type_list, std::string_view /*label*/, bool mark) {
    if (document_.empty())
        return 0;
    const std::vector<const InputElement*> counted = document_.snapshot()->inputs_of_kind(type_list);
    if (!mark || counted.empty())
        return static_cast<int>(counted.size());

    QJsonArray marks;
    for (std::size_t i = 0; i < counted.size(); ++i)
        marks.append(QJsonArray{counted[i]->index, static_cast<int>(i + 1)});
    // Rewriting an element's outer HTML replaces the element, so the same run collects the page
    // again and the held document follows it.
    auto script = [&](long long serial) {
        return QStringLiteral(R"JS((function () {
  const keptElement = %1;
  for (const [index, number] of %2) {
    const el = keptElement(%3, %4, index);
    try { if (el) el.outerHTML = el.outerHTML + '<font color=red>[复' + number + ']</font>'; } catch (e) {}
  }
  return %5;
})())JS")
            .arg(QString::fromUtf8(kKeptElement), json_text(marks), QString::number(slot_),
                 QString::number(document_.serial_), collect_call(slot_, serial));
    };
    Document remarked;
    // A handler run during the wait may have dropped the document meanwhile.
    if (take_snapshot(document_.page_, script, remarked) && !document_.empty()) {
        // Copies handed out by document() refer to the same document and see the change too.
        *document_.snapshot_ = *remarked.snapshot_;
        document_.serial_ = remarked.serial_;
    }
    return static_cast<int>(counted.size());
}

std::optional<InputElement> PageAutomation::find_input(std::string_view type_list, std::string_view key, int skip,
                                                       int& position) const {
    if (document_.empty()) {
        position = -1;
        return std::nullopt;
    }
    if (const InputElement* found = document_.snapshot()->find_input(type_list, key, skip, position))
        return *found;
    return std::nullopt;
}

std::string PageAutomation::page_title() const { return document_.empty() ? std::string() : document_.snapshot()->title(); }

std::optional<InputElement> PageAutomation::find_text_box(std::string_view key, int skip) const {
    int position = 0;
    return find_input(kTextBoxTypes, key, skip, position);
}

std::string PageAutomation::text_box_value(std::string_view key, int skip) const {
    const std::optional<InputElement> box = find_text_box(key, skip);
    return box ? box->value : std::string();
}

bool PageAutomation::set_text_box_value(std::string_view key, std::string_view value, int skip) {
    const std::optional<InputElement> box = find_text_box(key, skip);
    if (!box)
        return false;
    const QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    const QString script = QStringLiteral("(%1)((%2)(%3, %4, %5), %6[0])")
                               .arg(QString::fromUtf8(kWriteValue), QString::fromUtf8(kKeptElement),
                                    QString::number(slot_), QString::number(document_.serial_),
                                    QString::number(box->index), json_text(QJsonArray{text}));
    const Document held = document_;
    const std::optional<std::string> answer = run_page_script(held.page_, script, kAnswerLimit);
    if (!answer || !held.page_)
        return false;
    const QJsonObject written = QJsonDocument::fromJson(QByteArray::fromStdString(*answer)).object();
    if (!written.value(QLatin1String("value")).isString())
        return false;
    // The page may keep a value other than the one given (line breaks are dropped, for one).
    held.snapshot_->set_value(box->index, written.value(QLatin1String("value")).toString().toStdString());
    return true;
}

std::optional<InputElement> PageAutomation::find_check_box(std::string_view key, int skip) const {
    int position = 0;
    return find_input(kCheckBoxTypes, key, skip, position);
}

bool PageAutomation::is_check_box_ticked(std::string_view key, int skip) const {
    const std::optional<InputElement> box = find_check_box(key, skip);
    return box && box->checked;
}

int PageAutomation::count_check_boxes(bool mark) { return count_inputs(kCheckBoxTypes, "复选框", mark); }

bool PageAutomation::check_box_info(int number, std::string* title, std::string* name, std::string* id,
                                    std::string* type, std::optional<InputElement>& element) const {
    element = find_check_box(std::to_string(number));
    const InputElement empty;
    const InputElement& found = element ? *element : empty;
    if (title)
        *title = found.title;
    if (name)
        *name = found.name;
    if (id)
        *id = found.id;
    if (type)
        *type = found.type;
    return element.has_value();
}

} // namespace webpage
