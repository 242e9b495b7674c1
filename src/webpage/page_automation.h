#pragma once
// Reads and fills the form fields of the page shown in an embedded browser. The page is read
// through one script run that returns a snapshot; every finder works on that snapshot, and
// writes go back to the page by element in one script run each. Attach again right before
// working on a page: a held document names the page that was shown when it was taken.
//
// Use an instance on the thread that owns the browser widget (the UI thread). Its calls that
// reach the page wait with the event loop running, so handlers may run in the middle of them.

#include "webpage/document_snapshot.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QWidget;
class QWebEnginePage;
class QWebEngineView;

namespace webpage {

// A reference to a document taken from a page; copies refer to the same document.
class Document final {
public:
    Document() = default;

    bool empty() const { return !snapshot_; }
    // Null when empty.
    const DocumentSnapshot* snapshot() const { return snapshot_.get(); }

private:
    friend class PageAutomation;
    QPointer<QWebEnginePage> page_;
    std::shared_ptr<DocumentSnapshot> snapshot_;
    // Which of the instance's page-side element lists the snapshot's indexes refer to.
    long long serial_ = 0;
};

class PageAutomation final {
public:
    PageAutomation();
    ~PageAutomation();
    PageAutomation(const PageAutomation&) = delete;
    PageAutomation& operator=(const PageAutomation&) = delete;

    // Takes the document of the browser in `window` (the browser widget or a widget holding
    // one). False when `window` is null (also a QPointer to a destroyed widget), holds no
    // browser, or the page does not answer in time; then no document is held, except for a
    // null `window`, which changes nothing.
    bool attach(QWidget* window);
    Document document() const { return document_; }
    void release_document();
    // The first QWebEngineView among the descendants of `parent`, depth first; null when none.
    static QWebEngineView* find_server_window(QWidget* parent);
    // Takes one snapshot of the page in `window`; false (and `document` empty) when there is no
    // browser or no answer within a second.
    bool fetch_document(QWidget* window, Document& document);

    // Number of inputs whose type occurs in `type_list`. With `mark` each of them is followed
    // on the page by its number in red; the label names the kind for the caller only.
    int count_inputs(std::string_view type_list, std::string_view label, bool mark);
    // The element `key` names (see DocumentSnapshot::find_input); nullopt when none.
    std::optional<InputElement> find_input(std::string_view type_list, std::string_view key, int skip,
                                           int& position) const;
    std::string page_title() const;

    std::optional<InputElement> find_text_box(std::string_view key, int skip = 0) const;
    // Empty when there is no such text box.
    std::string text_box_value(std::string_view key, int skip = 0) const;
    // Writes `value` into the text box as typing would (the page sees input and change
    // events). False when there is no such text box or the page no longer holds it.
    bool set_text_box_value(std::string_view key, std::string_view value, int skip = 0);

    std::optional<InputElement> find_check_box(std::string_view key, int skip = 0) const;
    bool is_check_box_ticked(std::string_view key, int skip = 0) const;
    int count_check_boxes(bool mark);
    // Finds check box `number` (its position among the check boxes unless a name, id or title
    // equal to the number comes first), replaces `element` with it, and reads the wanted
    // properties into the non-null outputs, which stay empty when none is found.
    bool check_box_info(int number, std::string* title, std::string* name, std::string* id, std::string* type,
                        std::optional<InputElement>& element) const;

private:
    // Runs the script made for the next serial, which must end by collecting the page's
    // elements under it, and takes its answer as the document.
    bool take_snapshot(QWebEnginePage* page, const std::function<QString(long long serial)>& script,
                       Document& document);

    Document document_;
    const long long slot_;
    long long next_serial_ = 1;
};

} // namespace webpage
