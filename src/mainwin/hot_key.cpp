#include "mainwin/hot_key.h"

#include <QGuiApplication>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>

namespace mainwin {
namespace {

constexpr xcb_keysym_t kKeysymA = 0x61;       // "a"
constexpr xcb_keysym_t kKeysymNumLock = 0xff7f;
constexpr int kHotKeyId = 1;

xcb_connection_t* x11_connection() {
    auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return app ? app->connection() : nullptr;
}

xcb_window_t root_window(xcb_connection_t* c) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    return xcb_setup_roots_iterator(setup).data->root;
}

// All keycodes that produce `keysym` in any column of the keyboard map.
std::vector<xcb_keycode_t> keycodes_of(xcb_connection_t* c, xcb_keysym_t keysym) {
    std::vector<xcb_keycode_t> codes;
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto* reply = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, static_cast<xcb_keycode_t>(first), static_cast<uint8_t>(count)), nullptr);
    if (!reply)
        return codes;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int per = reply->keysyms_per_keycode;
    for (int k = 0; k < count; ++k)
        for (int col = 0; col < per; ++col)
            if (syms[k * per + col] == keysym) {
                codes.push_back(static_cast<xcb_keycode_t>(first + k));
                break;
            }
    std::free(reply);
    return codes;
}

// The modifier bit NumLock is bound to; it differs between keyboard set-ups.
unsigned numlock_mask(xcb_connection_t* c) {
    const auto numlock_codes = keycodes_of(c, kKeysymNumLock);
    auto* reply = xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr);
    if (!reply)
        return 0;
    unsigned mask = 0;
    const xcb_keycode_t* map = xcb_get_modifier_mapping_keycodes(reply);
    const int per = reply->keycodes_per_modifier;
    for (int mod = 0; mod < 8 && !mask; ++mod)
        for (int i = 0; i < per; ++i)
            for (xcb_keycode_t code : numlock_codes)
                if (code != 0 && map[mod * per + i] == code)
                    mask = 1u << mod;
    std::free(reply);
    return mask;
}

std::vector<uint16_t> grab_variants(unsigned numlock) {
    const uint16_t alt = XCB_MOD_MASK_1;
    std::vector<uint16_t> v{alt, static_cast<uint16_t>(alt | XCB_MOD_MASK_LOCK)};
    if (numlock) {
        v.push_back(static_cast<uint16_t>(alt | numlock));
        v.push_back(static_cast<uint16_t>(alt | numlock | XCB_MOD_MASK_LOCK));
    }
    return v;
}

} // namespace

HotKey::HotKey() = default;

HotKey::~HotKey() { unregister(); }

int HotKey::register_alt_a() {
    xcb_connection_t* c = x11_connection();
    if (!c || id_ != 0)
        return id_;
    const auto codes = keycodes_of(c, kKeysymA);
    if (codes.empty())
        return 0;
    keycode_ = codes.front();
    numlock_mask_ = numlock_mask(c);
    const xcb_window_t root = root_window(c);
    bool ok = true;
    for (uint16_t mods : grab_variants(numlock_mask_)) {
        const auto cookie = xcb_grab_key_checked(c, 1, root, mods, static_cast<xcb_keycode_t>(keycode_),
                                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            // BadAccess: another program holds the key.
            std::free(error);
            ok = false;
        }
    }
    if (!ok) {
        for (uint16_t mods : grab_variants(numlock_mask_))
            xcb_ungrab_key(c, static_cast<xcb_keycode_t>(keycode_), root, mods);
        xcb_flush(c);
        return 0;
    }
    qApp->installNativeEventFilter(this);
    id_ = kHotKeyId;
    return id_;
}

void HotKey::unregister() {
    if (id_ == 0)
        return;
    qApp->removeNativeEventFilter(this);
    if (xcb_connection_t* c = x11_connection()) {
        const xcb_window_t root = root_window(c);
        for (uint16_t mods : grab_variants(numlock_mask_))
            xcb_ungrab_key(c, static_cast<xcb_keycode_t>(keycode_), root, mods);
        xcb_flush(c);
    }
    id_ = 0;
}

bool HotKey::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (id_ == 0 || type != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    const unsigned state = key->state & ~(XCB_MOD_MASK_LOCK | numlock_mask_);
    const unsigned relevant = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
    if (key->detail != keycode_ || (state & relevant) != XCB_MOD_MASK_1)
        return false;
    Q_EMIT pressed(id_);
    return true;
}

} // namespace mainwin
