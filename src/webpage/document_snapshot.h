#pragma once
// What page automation knows of a document: one snapshot taken by one script run in the page,
// holding the title and the form fields of the body. The finder rules work on it alone, so
// they run (and are tested) without a browser.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace webpage {

// One input or button element as the page showed it when the snapshot was taken.
struct InputElement {
    std::string type, name, id, title, value;
    bool checked = false;
    // Place in the page-side list of the snapshot's elements (inputs, then buttons); writes
    // go back through it.
    int index = -1;
};

// Type lists: the input types of one kind of form field, joined by "|".
inline constexpr std::string_view kTextBoxTypes = "text|password|file";
inline constexpr std::string_view kCheckBoxTypes = "checkbox";

class DocumentSnapshot final {
public:
    // Reads the snapshot script's JSON answer; nullopt when it is not one.
    static std::optional<DocumentSnapshot> from_json(std::string_view json);

    const std::string& title() const { return title_; }
    bool has_body() const { return has_body_; }
    const std::vector<InputElement>& inputs() const { return inputs_; }
    const std::vector<InputElement>& buttons() const { return buttons_; }

    // The element that `key` names among the elements whose type occurs in `type_list`: a
    // name, id or title equal to the key, or the key read as a 1-based position, whichever
    // comes first in document order. `skip` passes over that many name/id/title matches, never
    // over a position match. Button elements follow the inputs only when the type list
    // contains "button". `position` counts the elements of the kind walked; it ends at the
    // found element's position, or at -1 when nothing is found.
    const InputElement* find_input(std::string_view type_list, std::string_view key, int skip, int& position) const;

    // The inputs (never buttons) whose type occurs in `type_list`, in document order.
    std::vector<const InputElement*> inputs_of_kind(std::string_view type_list) const;

    // Records a value the page accepted for the element at `index`.
    void set_value(int index, std::string value);

private:
    std::string title_;
    bool has_body_ = false;
    std::vector<InputElement> inputs_;
    std::vector<InputElement> buttons_;
};

// Whether an element of type `type` belongs to the kind `type_list` (a case-sensitive text
// search of the type in the list, as the pages have always been matched).
bool type_in_list(std::string_view type, std::string_view type_list);

// The key read as a number: 0 unless the whole key (blanks around it aside) is a decimal
// number; a fraction is cut off toward zero.
long long key_number(std::string_view key);

} // namespace webpage
